// Entry of the window tests: what the program's start-up does before any
// dialog runs, then the tests.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "dialogs/forms_controls.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InitCommonControls();
  zeph::RegisterFormsControls(GetModuleHandleA(nullptr));
  return RUN_ALL_TESTS();
}

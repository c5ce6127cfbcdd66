// Entry of the window tests: what the program's start-up does before any
// dialog runs, then the tests.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "dialogs/forms_controls.h"
#include "framework/dialog.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InitCommonControls();
  zeph::RegisterFormsControls(GetModuleHandleA(nullptr));
  // "--template N" only shows dialog template N, for a look at its layout.
  if (argc == 3 && std::strcmp(argv[1], "--template") == 0) {
    return static_cast<int>(zeph::CDialog(static_cast<UINT>(std::atoi(argv[2]))).DoModal());
  }
  return RUN_ALL_TESTS();
}

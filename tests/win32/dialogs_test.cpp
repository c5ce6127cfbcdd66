// The address input and Properties dialogs, driven through their real
// controls, with the real registry and the open-file dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/address_input_dlg.h"
#include "dialogs/properties_dlg.h"
#include "gui_driver.h"
#include "res/resource.h"
#include "test_support.h"

namespace zeph {
namespace {

using test::Click;
using test::ItemText;
using test::Key;
using test::RunWithDriver;
using test::StoredSlot;
using test::WaitForWindow;
using test::WaitUntil;

constexpr const char* kAddressTitle = "Input Dialog";

// --- address input ---------------------------------------------------------

TEST(AddressInputTest, ReturnsTheTextExactlyAsTypedAndStartsEmptyEachTime) {
  for (const std::string& typed : {std::string("  www.example.org/a b  "), std::string("HTTP://x.example"),
                                  std::string()}) {
    CAddressInputDlg dlg;
    std::string fieldAtStart = "?";
    const INT_PTR result = RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kAddressTitle);
          ASSERT_NE(hwnd, nullptr);
          HWND field = GetDlgItem(hwnd, IDC_ADDRESS);
          fieldAtStart = test::Text(field);
          test::Type(field, typed);
          Key(field, VK_RETURN);  // OK is the default button
        },
        [&] { return dlg.DoModal(); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(fieldAtStart, "");
    EXPECT_EQ(dlg.m_strAddress, typed);
  }
}

TEST(AddressInputTest, FieldTakes256CharactersAndALongerTextIsRefused) {
  CAddressInputDlg dlg;
  size_t pastedLength = 0;
  bool promptShown = false, stillOpen = false;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kAddressTitle);
        ASSERT_NE(hwnd, nullptr);
        HWND field = GetDlgItem(hwnd, IDC_ADDRESS);
        const std::string long300(300, 'w');
        SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(long300.c_str()));  // a paste
        pastedLength = test::Text(field).size();
        // Only a program can put more in; the exchange refuses it.
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(long300.c_str()));
        Click(hwnd, IDOK);
        HWND box = WaitForWindow("Error");
        promptShown = box && test::HasStaticText(box, "Please enter no more than 256 characters.");
        if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
        test::WaitGone(box);
        Sleep(100);
        stillOpen = IsWindowVisible(hwnd) != FALSE;
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(pastedLength, 256u);
  EXPECT_TRUE(promptShown);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dlg.m_strAddress, "");
}

// --- Properties ------------------------------------------------------------

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetSlots(); }
  void TearDown() override { test::ResetSlots(); }
  SlotStore& slots = test::Slots();

  // Runs the dialog as the tray icon opens it, with driver acting on its window.
  void Open(const std::function<void(HWND)>& driver) {
    RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kPropertiesTitle);
          ASSERT_NE(hwnd, nullptr);
          driver(hwnd);
          // Whatever the driver left open is cancelled, so a failed check cannot hang the run.
          if (test::WaitUntil([&] { return !IsWindow(hwnd); }, 3000)) return;
          if (HWND addr = FindWindowA(nullptr, kAddressTitle)) PostMessageA(addr, WM_COMMAND, IDCANCEL, 0);
          PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [&] {
          test::OpenProperties();
          return 0;
        });
  }
  static bool ApplyEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)) != FALSE; }
};

TEST_F(PropertiesTest, FreshMachineShowsDefaultsAndDefaultWritesAllFourAtOnce) {
  slots.SetCurrent(kSlotAddress2, "keep.example");
  Open([&](HWND dlg) {
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S1), kDefaultBrowser);
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S2), kDefaultAddress);
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S3), "keep.example");
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S4), kDefaultMailer);
    EXPECT_TRUE(ApplyEnabled(dlg));
    EXPECT_EQ(StoredSlot("S1"), "<missing>");  // opening writes nothing
    // The picture buttons carry their captions from the template; the fields are read-only.
    EXPECT_EQ(ItemText(dlg, IDC_BTN_S1), "S1");
    EXPECT_EQ(ItemText(dlg, IDC_LABEL_DEFAULT), "DEFAULT");
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dlg, IDC_EDIT_S1), GWL_STYLE) & ES_READONLY);

    test::Slots().EnsureKey();
    Click(dlg, IDC_DEFAULT);
    EXPECT_TRUE(WaitUntil([] { return StoredSlot("S4") == kDefaultMailer; }));
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S3), "keep.example");
    Click(dlg, IDCANCEL);
  });
  // S3 has no default: its text stays and is committed with the others.
  const std::string expected[] = {kDefaultBrowser, kDefaultAddress, "keep.example", kDefaultMailer};
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(StoredSlot(slots.Name(n)), expected[n - 1]);
    EXPECT_EQ(slots.Current(n), expected[n - 1]);
    EXPECT_EQ(slots.Pending(n), expected[n - 1]);  // Cancel does not take Default back
  }
}

TEST_F(PropertiesTest, ApplyCommitsPendingAndDisablesItselfUntilARowOrDefaultIsClicked) {
  test::Slots().EnsureKey();
  slots.SetPending(kSlotMailer, "C:\\Mail\\mail.exe");
  slots.SetPending(kSlotBrowser, "C:\\Web\\web.exe");
  Open([&](HWND dlg) {
    Click(dlg, IDC_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return !ApplyEnabled(dlg); }));
    EXPECT_EQ(StoredSlot("S4"), "C:\\Mail\\mail.exe");
    EXPECT_EQ(StoredSlot("S1"), "C:\\Web\\web.exe");

    // A row button enables it again even when its dialog is cancelled.
    Click(dlg, IDC_BTN_S3);
    HWND addr = WaitForWindow(kAddressTitle);
    ASSERT_NE(addr, nullptr);
    EXPECT_TRUE(ApplyEnabled(dlg));
    Key(GetDlgItem(addr, IDC_ADDRESS), VK_ESCAPE);
    test::WaitGone(addr);
    Key(dlg, VK_ESCAPE);
  });
  EXPECT_EQ(slots.Current(kSlotMailer), "C:\\Mail\\mail.exe");
}

TEST_F(PropertiesTest, TypedAddressIsUsedAtOnceAndCancelDoesNotTakeItBack) {
  Open([&](HWND dlg) {
    Click(dlg, IDC_BTN_S2);
    HWND addr = WaitForWindow(kAddressTitle);
    ASSERT_NE(addr, nullptr);
    EXPECT_EQ(GetWindow(addr, GW_OWNER), dlg);  // owned by the Properties dialog
    test::Type(GetDlgItem(addr, IDC_ADDRESS), " news.example.com ");
    Click(addr, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, IDC_EDIT_S2) == " news.example.com "; }));

    // An empty address clears S3.
    Click(dlg, IDC_BTN_S3);
    addr = WaitForWindow(kAddressTitle);
    ASSERT_NE(addr, nullptr);
    Click(addr, IDOK);
    test::WaitGone(addr);
    Click(dlg, IDCANCEL);
  });
  EXPECT_EQ(slots.Current(kSlotAddress1), " news.example.com ");
  EXPECT_EQ(slots.Pending(kSlotAddress1), " news.example.com ");
  EXPECT_EQ(slots.Current(kSlotAddress2), "");
  EXPECT_EQ(StoredSlot("S2"), "<missing>");  // the next poll tick stores it
}

// Browsing changes only the pending text: launches keep starting the old
// program until OK or Apply commits the choice, in this run or a later one.
TEST_F(PropertiesTest, BrowseStartsTheChosenProgramAndLeavesCurrentUntilCommitted) {
  struct Row {
    int button, slot, field;
    const char* initialName;
    std::string chosen;
  } rows[] = {{IDC_BTN_S1, kSlotBrowser, IDC_EDIT_S1, "IEXPLORE.exe", "C:\\zeph apps\\Web Browser.exe"},
              {IDC_BTN_S4, kSlotMailer, IDC_EDIT_S4, "OutLook.exe", "C:\\zeph apps\\Mail Program.exe"}};
  slots.EnsureKey();
  for (const Row& row : rows) {
    ASSERT_TRUE(test::InstallMarker(row.chosen));
    slots.SetCurrent(row.slot, "C:\\old.exe");
    slots.WriteSlot(slots.Name(row.slot));
  }
  Open([&](HWND dlg) {
    for (const Row& row : rows) {
      Click(dlg, row.button);
      HWND open = WaitForWindow("Open", 10000);
      ASSERT_NE(open, nullptr);
      WaitUntil([&] { return GetDlgItem(open, 1148) != nullptr; });
      EXPECT_EQ(ItemText(open, 1148), row.initialName);
      std::string filters;
      HWND types = GetDlgItem(open, 1136);  // the file-type list
      for (int i = 0, n = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        char text[128] = "";
        SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        filters += std::string(text) + ";";
      }
      EXPECT_EQ(filters, "(*.exe) file;(*.com) files;");
      ASSERT_TRUE(test::ChooseFile(row.chosen.c_str()));
      EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, row.field) == row.chosen; })) << row.chosen;
      EXPECT_TRUE(WaitUntil([&] { return test::MarkerLog().find(row.chosen) != std::string::npos; }, 10000));
    }
    Click(dlg, IDCANCEL);
  });
  // Started at once, by the quoted path.
  EXPECT_EQ(test::MarkerLog(), "\"" + rows[0].chosen + "\"\n\"" + rows[1].chosen + "\"\n");
  for (const Row& row : rows) {
    EXPECT_EQ(slots.Pending(row.slot), row.chosen);
    EXPECT_EQ(slots.Current(row.slot), "C:\\old.exe");
    EXPECT_EQ(StoredSlot(slots.Name(row.slot)), "C:\\old.exe");
  }
  Open([&](HWND dlg) { Click(dlg, IDOK); });
  for (const Row& row : rows) {
    EXPECT_EQ(StoredSlot(slots.Name(row.slot)), row.chosen);
    EXPECT_EQ(slots.Current(row.slot), row.chosen);
  }
}

TEST_F(PropertiesTest, OnlyOnePropertiesWindowAtATime) {
  int windowsWhileOpen = 0;
  Open([&](HWND dlg) {
    test::OnGuiThread([] { test::OpenProperties(); });  // returns at once
    windowsWhileOpen = test::CountTopLevel(kPropertiesTitle);
    Click(dlg, IDCANCEL);
  });
  EXPECT_EQ(windowsWhileOpen, 1);

  // Another program's window with the same title blocks it too.
  HWND other = CreateWindowExA(0, "STATIC", kPropertiesTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  test::OpenProperties();
  EXPECT_EQ(test::CountTopLevel(kPropertiesTitle), 1);
  DestroyWindow(other);
}

TEST_F(PropertiesTest, DefaultByKeyboardEnablesApplyAndARealClickCancels) {
  test::Slots().EnsureKey();
  bool applyDisabled = false, defaultBySpace = false, closedByMouse = false;
  Open([&](HWND dlg) {
    Click(dlg, IDC_APPLY);
    applyDisabled = WaitUntil([&] { return !ApplyEnabled(dlg); });
    Key(GetDlgItem(dlg, IDC_DEFAULT), VK_SPACE);  // space on a focused picture button clicks it
    defaultBySpace = WaitUntil([&] { return StoredSlot("S1") == kDefaultBrowser && ApplyEnabled(dlg); });
    test::MouseClick(GetDlgItem(dlg, IDCANCEL));
    closedByMouse = test::WaitGone(dlg, 3000);
  });
  EXPECT_TRUE(applyDisabled);
  EXPECT_TRUE(defaultBySpace);
  EXPECT_TRUE(closedByMouse);
}

TEST_F(PropertiesTest, OkWithoutChangesStoresTheStillEmptyPendingTexts) {
  test::Slots().EnsureKey();
  Open([&](HWND dlg) { Click(dlg, IDOK); });
  EXPECT_EQ(StoredSlot("S1"), "");
  EXPECT_EQ(StoredSlot("S4"), "");
  EXPECT_EQ(slots.Current(kSlotBrowser), "");
}

TEST_F(PropertiesTest, WithoutItsControlsTheDialogCannotOpenAndNothingIsSaved) {
  test::Slots().EnsureKey();
  slots.SetPending(kSlotBrowser, "C:\\pending.exe");
  ASSERT_TRUE(UnregisterClassA(kCommandButtonClass, GetModuleHandleA(nullptr)));
  test::OpenProperties();
  RegisterFormsControls(GetModuleHandleA(nullptr));
  EXPECT_EQ(test::CountTopLevel(kPropertiesTitle), 0);
  EXPECT_EQ(StoredSlot("S1"), "<missing>");
  EXPECT_EQ(slots.Current(kSlotBrowser), "");
}

}  // namespace
}  // namespace zeph

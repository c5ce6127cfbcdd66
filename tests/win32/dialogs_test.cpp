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
using test::StoredSlot;
using test::WaitForWindow;
using test::WaitUntil;

constexpr const char* kAddressTitle = "Input Dialog";

TEST(AddressInputTest, FieldTakes256CharactersAndALongerTextIsRefused) {
  CAddressInputDlg dlg;
  size_t pastedLength = 0;
  bool promptShown = false, stillOpen = false;
  const INT_PTR result = test::RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kAddressTitle);
        ASSERT_NE(hwnd, nullptr);
        HWND field = GetDlgItem(hwnd, IDC_ADDRESS);
        const std::string long300(300, 'w');
        SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(long300.c_str()));  // a paste
        pastedLength = test::Text(field).size();
        // Only a program can put more in; the exchange refuses it and keeps the dialog open.
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(long300.c_str()));
        Click(hwnd, IDOK);
        HWND box = WaitForWindow("Error");
        promptShown = box && test::HasStaticText(box, "Please enter no more than 256 characters.");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
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

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetSlots(); }
  void TearDown() override { test::ResetSlots(); }
  SlotStore& slots = test::Slots();

  // Runs the dialog as the tray icon opens it, with driver acting on its window.
  void Open(const std::function<void(HWND)>& driver) {
    test::RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kPropertiesTitle);
          ASSERT_NE(hwnd, nullptr);
          driver(hwnd);
          // Whatever the driver left open is cancelled, so a failed check cannot hang the run.
          if (test::WaitGone(hwnd, 3000)) return;
          PostMessageA(FindWindowA(nullptr, kAddressTitle), WM_COMMAND, IDCANCEL, 0);
          PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [&] { return test::OpenProperties(), 0; });
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
  bool enabledAtOpen = false, disabledByApply = false, enabledByRow = false, enabledByDefault = false,
       closedByMouse = false;
  Open([&](HWND dlg) {
    enabledAtOpen = ApplyEnabled(dlg);
    Click(dlg, IDC_APPLY);
    disabledByApply = WaitUntil([&] { return StoredSlot("S4") == "C:\\Mail\\mail.exe"; }) && !ApplyEnabled(dlg);
    // A row button enables it again even when its dialog is cancelled.
    Click(dlg, IDC_BTN_S3);
    HWND addr = WaitForWindow(kAddressTitle);
    enabledByRow = ApplyEnabled(dlg);
    Key(GetDlgItem(addr, IDC_ADDRESS), VK_ESCAPE);
    test::WaitGone(addr);
    Click(dlg, IDC_APPLY);
    WaitUntil([&] { return !ApplyEnabled(dlg); });
    Key(GetDlgItem(dlg, IDC_DEFAULT), VK_SPACE);  // space on a focused picture button clicks it
    enabledByDefault = WaitUntil([&] { return ApplyEnabled(dlg); });
    test::MouseClick(GetDlgItem(dlg, IDCANCEL));  // a real click
    closedByMouse = test::WaitGone(dlg, 3000);
  });
  EXPECT_TRUE(enabledAtOpen && disabledByApply && enabledByRow && enabledByDefault && closedByMouse);
  EXPECT_EQ(StoredSlot("S1"), kDefaultBrowser);
}

TEST_F(PropertiesTest, TypedAddressIsUsedAtOnceAndCancelDoesNotTakeItBack) {
  RECT dlgRect{}, addrRect{};
  std::string fieldAtSecondOpening = "?";
  slots.SetCurrent(kSlotAddress2, "was.example");
  Open([&](HWND dlg) {
    Click(dlg, IDC_BTN_S2);
    HWND addr = WaitForWindow(kAddressTitle);
    ASSERT_NE(addr, nullptr);
    EXPECT_EQ(GetWindow(addr, GW_OWNER), dlg);  // owned by the Properties dialog and centred over it
    GetWindowRect(dlg, &dlgRect);
    GetWindowRect(addr, &addrRect);
    test::Type(GetDlgItem(addr, IDC_ADDRESS), " news.example.com ");
    Key(GetDlgItem(addr, IDC_ADDRESS), VK_RETURN);  // OK is the default button
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, IDC_EDIT_S2) == " news.example.com "; }));

    // The field starts empty every time; an empty address clears S3.
    Click(dlg, IDC_BTN_S3);
    addr = WaitForWindow(kAddressTitle);
    fieldAtSecondOpening = ItemText(addr, IDC_ADDRESS);
    Click(addr, IDOK);
    test::WaitGone(addr);
    Click(dlg, IDCANCEL);
  });
  EXPECT_NEAR(addrRect.left + addrRect.right, dlgRect.left + dlgRect.right, 4);
  EXPECT_NEAR(addrRect.top + addrRect.bottom, dlgRect.top + dlgRect.bottom, 4);
  EXPECT_EQ(fieldAtSecondOpening, "");
  EXPECT_EQ(slots.Current(kSlotAddress1), " news.example.com ");
  EXPECT_EQ(slots.Pending(kSlotAddress1), " news.example.com ");
  EXPECT_EQ(slots.Current(kSlotAddress2), "");
  EXPECT_EQ(slots.Pending(kSlotAddress2), "");
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

// Any top-level window with its title (an open Properties dialog, or another
// program's window) keeps a second one from opening. Should a dialog open
// nevertheless, the guard closes it.
TEST_F(PropertiesTest, AWindowWithItsTitleKeepsASecondOneFromOpening) {
  HWND other = CreateWindowExA(0, "STATIC", kPropertiesTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
  HWND dlg = nullptr;
  bool opened = true;
  std::thread guard([&] {
    opened = WaitUntil([&] { return (dlg = FindWindowA("#32770", kPropertiesTitle)) != nullptr; }, 1000);
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  test::OpenProperties();
  guard.join();
  DestroyWindow(other);
  EXPECT_FALSE(opened);
}

// Opening copies nothing into the pending texts, so OK stores them as they
// are; a dialog that cannot be created stores nothing.
TEST_F(PropertiesTest, OkStoresThePendingTextsAndAFailedOpeningNothing) {
  test::Slots().EnsureKey();
  ASSERT_TRUE(UnregisterClassA(kCommandButtonClass, GetModuleHandleA(nullptr)));
  slots.SetPending(kSlotBrowser, "C:\\pending.exe");
  test::OpenProperties();
  RegisterFormsControls(GetModuleHandleA(nullptr));
  EXPECT_EQ(StoredSlot("S1"), "<missing>");

  slots.SetPending(kSlotBrowser, "");
  Open([&](HWND dlg) { Click(dlg, IDOK); });
  EXPECT_EQ(StoredSlot("S1"), "");
  EXPECT_EQ(StoredSlot("S4"), "");
  EXPECT_EQ(slots.Current(kSlotBrowser), "");
}

}  // namespace
}  // namespace zeph

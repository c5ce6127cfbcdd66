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

    // The rows' picture buttons carry their captions; the fields are read-only.
    EXPECT_EQ(ItemText(dlg, IDC_BTN_S1), "S1");
    EXPECT_EQ(ItemText(dlg, IDC_LABEL_DEFAULT), "DEFAULT");
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dlg, IDC_EDIT_S1), GWL_STYLE) & ES_READONLY);

    test::ResetSlots();  // as if the key had gone meanwhile
    test::Slots().EnsureKey();
    Click(dlg, IDC_DEFAULT);
    EXPECT_TRUE(WaitUntil([] { return StoredSlot("S4") == kDefaultMailer; }));
    Click(dlg, IDCANCEL);
  });
  EXPECT_EQ(StoredSlot("S1"), kDefaultBrowser);
  EXPECT_EQ(StoredSlot("S2"), kDefaultAddress);
  EXPECT_EQ(StoredSlot("S3"), "");
  EXPECT_EQ(StoredSlot("S4"), kDefaultMailer);
  EXPECT_EQ(slots.Pending(kSlotBrowser), kDefaultBrowser);  // Cancel does not take Default back
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
    EXPECT_EQ(GetWindow(addr, GW_OWNER), dlg);  // owned by the Properties dialog...
    EXPECT_FALSE(IsWindowEnabled(dlg));          // ...which waits for it
    HWND field = GetDlgItem(addr, IDC_ADDRESS);
    test::Type(field, " news.example.com ");
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

TEST_F(PropertiesTest, BrowseStartsTheChosenProgramAndOkCommitsIt) {
  const std::string browser = "C:\\zeph apps\\Web Browser.exe";
  ASSERT_TRUE(test::InstallMarker(browser));
  test::Slots().EnsureKey();
  std::string initialName, filters;
  Open([&](HWND dlg) {
    Click(dlg, IDC_BTN_S1);
    HWND open = WaitForWindow("Open", 10000);
    ASSERT_NE(open, nullptr);
    WaitUntil([&] { return GetDlgItem(open, 1148) != nullptr; });
    initialName = ItemText(open, 1148);
    HWND types = GetDlgItem(open, 1136);  // the file-type list
    for (int i = 0, n = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0)); i < n; ++i) {
      char text[128] = "";
      SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      filters += std::string(text) + ";";
    }
    ASSERT_TRUE(test::ChooseFile(browser.c_str()));
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, IDC_EDIT_S1) == browser; }));
    EXPECT_TRUE(WaitUntil([&] { return !test::MarkerLog().empty(); }, 10000));
    EXPECT_EQ(StoredSlot("S1"), "<missing>");  // not before OK or Apply
    Click(dlg, IDOK);
  });
  EXPECT_EQ(initialName, "IEXPLORE.exe");
  EXPECT_EQ(filters, "(*.exe) file;(*.com) files;");
  // Started at once, by its quoted path.
  EXPECT_EQ(test::MarkerLog().substr(0, browser.size() + 2), "\"" + browser + "\"");
  EXPECT_EQ(StoredSlot("S1"), browser);
  EXPECT_EQ(slots.Current(kSlotBrowser), browser);
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

TEST_F(PropertiesTest, KeyboardAndRealMouseWorkThePictureButtons) {
  test::Slots().EnsureKey();
  bool defaultBySpace = false, closedByMouse = false;
  Open([&](HWND dlg) {
    // Space on a focused picture button clicks it.
    HWND def = GetDlgItem(dlg, IDC_DEFAULT);
    Key(def, VK_SPACE);
    defaultBySpace = WaitUntil([] { return StoredSlot("S1") == kDefaultBrowser; });
    Click(dlg, IDC_APPLY);
    WaitUntil([&] { return !ApplyEnabled(dlg); });
    // A real click on Cancel.
    test::MouseClick(GetDlgItem(dlg, IDCANCEL));
    closedByMouse = test::WaitGone(dlg, 3000);
  });
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

// The address input and Properties dialogs, driven through their real
// controls, with the real registry and the open-file dialog. The end-to-end
// suite sees that only one Properties window opens.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/properties_dlg.h"
#include "test_support.h"

namespace zeph {
namespace {

using namespace test;

constexpr const char* kAddressTitle = "Input Dialog";

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSlots(); }
  void TearDown() override { ResetSlots(); }
  SlotStore& slots = Slots();

  // Runs the dialog as the tray icon opens it, with driver acting on its window.
  static void Open(const std::function<void(HWND)>& driver) {
    RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kPropertiesTitle);
          if (hwnd) driver(hwnd);
          // Whatever the driver left open is cancelled, so a failed check cannot hang the run.
          if (WaitGone(hwnd)) return;
          PostMessageA(FindWindowA(nullptr, kAddressTitle), WM_COMMAND, IDCANCEL, 0);
          PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [] { return OpenPropertiesDialog(Slots(), Platform().windows, Platform().starter), 0; });
  }
  // S1..S4 as stored, then as current.
  std::string Seen() {
    std::string all;
    for (int n = 1; n <= 4; ++n) all += StoredSlot(slots.Name(n)) + "|";
    for (int n = 1; n <= 4; ++n) all += "|" + slots.Current(n);
    return all;
  }
};

// Before each: a mail program chosen but not committed, a second address in
// use but not stored, the key there and empty. The dialog shows the defaults
// of empty slots; Cancel does not take back what Default or Apply stored.
TEST_F(PropertiesTest, DefaultApplyOkAndCancelStoreExactlyTheirShare) {
  const std::string mail = "C:\\Mail\\mail.exe", shown = std::string(kDefaultBrowser) + "|" + kDefaultAddress +
                                                         "|kept.example|" + kDefaultMailer;
  const struct { std::vector<int> clicks; std::string stored, current; } cases[] = {
      {{IDCANCEL}, "<missing>|<missing>|<missing>|<missing>", shown},
      {{IDOK}, "|||" + mail, "|||" + mail},
      {{IDC_APPLY, IDCANCEL}, "|||" + mail, "|||" + mail},
      {{IDC_DEFAULT, IDCANCEL}, shown, shown},
      {{IDC_DEFAULT, IDOK}, shown, shown},
  };
  for (const auto& c : cases) {
    ResetSlots();
    Platform().registry.Create(kSlotKeyPath);
    slots.SetPending(kSlotMailer, mail);
    slots.SetCurrent(kSlotAddress2, "kept.example");
    Open([&](HWND dlg) {
      for (size_t i = 0; i + 1 < c.clicks.size(); ++i) Click(dlg, c.clicks[i]);
      // The last one a real click, as the picture buttons must take it.
      RECT rc;
      GetWindowRect(GetDlgItem(dlg, c.clicks.back()), &rc);
      ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    });
    EXPECT_EQ(Seen(), c.stored + "||" + c.current) << c.clicks.front() << " " << c.clicks.back();
  }
}

// A typed address is in use at once (the next tick stores it), and Cancel of
// the Properties dialog does not take it back; a closed address dialog changes
// nothing.
TEST_F(PropertiesTest, ATypedAddressIsUsedAtOnce) {
  const struct { std::string typed; bool ok; std::string used; } cases[] = {
      {" news.example.com ", true, " news.example.com "},
      {"ignored.example", false, "was.example"},
  };
  for (const auto& c : cases) {
    slots.SetCurrent(kSlotAddress1, "was.example");
    slots.SetPending(kSlotAddress1, "was.example");
    Open([&](HWND dlg) {
      Click(dlg, IDC_BTN_S2);
      HWND addr = WaitForWindow(kAddressTitle), field = GetDlgItem(addr, IDC_ADDRESS);
      for (char ch : c.typed) PostMessageA(field, WM_CHAR, static_cast<unsigned char>(ch), 1);
      c.ok ? Key(field, VK_RETURN) : void(PostMessageA(addr, WM_SYSCOMMAND, SC_CLOSE, 0));
      WaitGone(addr);
      Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(slots.Current(kSlotAddress1) + "|" + slots.Pending(kSlotAddress1), c.used + "|" + c.used);
  }
  EXPECT_EQ(Platform().registry.Open(kSlotKeyPath), nullptr);
}

// Browsing starts the chosen program at once, by its quoted path, but launches
// keep starting the old one until OK commits the choice.
TEST_F(PropertiesTest, BrowseCommitsOnOkOnly) {
  const struct { int button, slot; std::string chosen; } rows[] = {
      {IDC_BTN_S1, kSlotBrowser, "C:\\zeph apps\\Web Browser.exe"},
      {IDC_BTN_S4, kSlotMailer, "C:\\zeph apps\\Mail Program.exe"}};
  Platform().registry.Create(kSlotKeyPath);
  for (const auto& row : rows) {
    slots.SetCurrent(row.slot, "C:\\old.exe");
    slots.WriteSlot(slots.Name(row.slot));
  }
  for (int close : {IDCANCEL, IDOK}) {
    for (const auto& row : rows) ASSERT_TRUE(InstallMarker(row.chosen));
    Open([&](HWND dlg) {
      for (const auto& row : rows) {
        Click(dlg, row.button);
        HWND open = WaitForWindow("Open"), name = nullptr;  // and its file-name field, cmb13
        WaitUntil([&] { return (name = GetDlgItem(open, 1148)) != nullptr; });
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.chosen.c_str()));
        PostMessageA(open, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return MarkerLog().find(row.chosen) != std::string::npos; })) << row.chosen;
      }
      Click(dlg, close);
    });
    EXPECT_EQ(MarkerLog(), "\"" + rows[0].chosen + "\"\n\"" + rows[1].chosen + "\"\n");
    for (const auto& row : rows) {
      const std::string current = close == IDOK ? row.chosen : "C:\\old.exe";
      EXPECT_EQ(slots.Current(row.slot) + "|" + StoredSlot(slots.Name(row.slot)), current + "|" + current) << close;
    }
  }
}

}  // namespace
}  // namespace zeph

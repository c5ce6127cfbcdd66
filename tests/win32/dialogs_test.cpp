// The address input and Properties dialogs, driven through their real
// controls, with the real registry and the open-file dialog. The end-to-end
// suite sees that only one Properties window opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "dialogs/properties_dlg.h"
#include "test_support.h"

namespace zeph {
namespace {

using namespace test;

constexpr const char* kAddressTitle = "Input Dialog";

void OpenProperties() { OpenPropertiesDialog(Slots(), Platform().windows, Platform().starter); }

// Whether the caption a control draws in the colour shows, ending inside its box.
bool CaptionFits(HWND control, COLORREF colour) {
  RECT rc;
  GetClientRect(control, &rc);
  HDC screen = GetDC(control);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  HGDIOBJ old = SelectObject(mem, bitmap);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  int last = -1;  // the last column with the colour
  for (int x = 0; x < rc.right; ++x)
    for (int y = 0; y < rc.bottom; ++y)
      if (GetPixel(mem, x, y) == colour) last = x;
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(control, screen);
  return last >= 0 && last < rc.right - 1;
}

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSlots(); }
  void TearDown() override { ResetSlots(); }
  SlotStore& slots = Slots();

  // Runs the dialog as the tray icon opens it, with driver acting on its window.
  void Open(const std::function<void(HWND)>& driver) {
    RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kPropertiesTitle);
          if (hwnd) driver(hwnd);
          // Whatever the driver left open is cancelled, so a failed check cannot hang the run.
          if (WaitGone(hwnd, 3000)) return;
          PostMessageA(FindWindowA(nullptr, kAddressTitle), WM_COMMAND, IDCANCEL, 0);
          PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [] { return OpenProperties(), 0; });
  }
  static bool ApplyEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)) != FALSE; }
};

TEST_F(PropertiesTest, FreshMachineShowsDefaultsAndDefaultWritesAllFourAtOnce) {
  slots.SetCurrent(kSlotAddress2, "keep.example");
  const std::string expected[] = {kDefaultBrowser, kDefaultAddress, "keep.example", kDefaultMailer};
  const int fields[] = {IDC_EDIT_S1, IDC_EDIT_S2, IDC_EDIT_S3, IDC_EDIT_S4};
  Open([&](HWND dlg) {
    // Each caption shows whole in its box, whatever face the system substitutes.
    for (int id : {IDC_LABEL_OK, IDC_LABEL_CANCEL, IDC_LABEL_APPLY, IDC_LABEL_DEFAULT})
      EXPECT_TRUE(CaptionFits(GetDlgItem(dlg, id), RGB(0, 255, 255))) << id;
    for (int n = 0; n < 4; ++n) EXPECT_EQ(ItemText(dlg, fields[n]), expected[n]);
    EXPECT_EQ(StoredSlot("S1"), "<missing>");  // opening writes nothing
    // The picture buttons carry their captions from the template; the fields are read-only.
    EXPECT_EQ(ItemText(dlg, IDC_BTN_S1) + ItemText(dlg, IDC_LABEL_DEFAULT), "S1DEFAULT");
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dlg, IDC_EDIT_S1), GWL_STYLE) & ES_READONLY);
    Platform().registry.Create(kSlotKeyPath);
    Click(dlg, IDC_DEFAULT);
    EXPECT_TRUE(WaitUntil([] { return StoredSlot("S4") == kDefaultMailer; }));
    EXPECT_EQ(ItemText(dlg, IDC_EDIT_S3), "keep.example");
    Click(dlg, IDCANCEL);
  });
  // S3 has no default: its text stays and is committed with the others; Cancel
  // does not take Default back.
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(StoredSlot(slots.Name(n)) + "|" + slots.Current(n) + "|" + slots.Pending(n),
              expected[n - 1] + "|" + expected[n - 1] + "|" + expected[n - 1]);
  }
}

TEST_F(PropertiesTest, ApplyCommitsPendingAndDisablesItselfUntilARowOrDefaultIsClicked) {
  Platform().registry.Create(kSlotKeyPath);
  slots.SetPending(kSlotMailer, "C:\\Mail\\mail.exe");
  slots.SetCurrent(kSlotAddress2, "kept.example");
  std::vector<bool> steps;
  Open([&](HWND dlg) {
    steps.push_back(ApplyEnabled(dlg));
    Click(dlg, IDC_APPLY);
    steps.push_back(WaitUntil([&] { return StoredSlot("S4") == "C:\\Mail\\mail.exe"; }) && !ApplyEnabled(dlg));
    // A row button enables it again even when its dialog is closed, which
    // leaves the slot alone.
    Click(dlg, IDC_BTN_S3);
    HWND addr = WaitForWindow(kAddressTitle);
    steps.push_back(ApplyEnabled(dlg));
    PostMessageA(addr, WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitGone(addr);
    steps.push_back(ItemText(dlg, IDC_EDIT_S3) == "kept.example");
    Click(dlg, IDC_APPLY);
    WaitUntil([&] { return !ApplyEnabled(dlg); });
    Key(GetDlgItem(dlg, IDC_DEFAULT), VK_SPACE);  // space on a focused picture button clicks it
    steps.push_back(WaitUntil([&] { return ApplyEnabled(dlg); }));
    RECT rc;
    GetWindowRect(GetDlgItem(dlg, IDCANCEL), &rc);
    ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);  // a real click
    steps.push_back(WaitGone(dlg, 3000));
  });
  EXPECT_EQ(steps, std::vector<bool>(6, true));
  EXPECT_EQ(StoredSlot("S1"), kDefaultBrowser);
}

// The address field takes 256 characters; a longer text, which only a program
// can put there, is refused by the exchange and keeps the dialog open.
TEST_F(PropertiesTest, TypedAddressIsUsedAtOnceAndCancelDoesNotTakeItBack) {
  RECT dlgRect{}, addrRect{};
  std::vector<bool> seen;  // pasted text cut, the refusal's box, the dialog still open
  std::string fieldAtSecondOpening = "?";
  slots.SetCurrent(kSlotAddress2, "was.example");
  Open([&](HWND dlg) {
    Click(dlg, IDC_BTN_S2);
    HWND addr = WaitForWindow(kAddressTitle), field = GetDlgItem(addr, IDC_ADDRESS);
    EXPECT_EQ(GetWindow(addr, GW_OWNER), dlg);  // owned by the Properties dialog and centred over it
    GetWindowRect(dlg, &dlgRect);
    GetWindowRect(addr, &addrRect);
    const std::string long300(300, 'w');
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(long300.c_str()));  // a paste
    seen.push_back(Text(field) == std::string(256, 'w'));
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(long300.c_str()));
    Click(addr, IDOK);
    HWND box = WaitForWindow("Error");
    seen.push_back(box && HasStaticText(box, "Please enter no more than 256 characters."));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    seen.push_back(WaitGone(box) && (Sleep(100), IsWindowVisible(addr)));
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    for (char c : std::string(" news.example.com ")) PostMessageA(field, WM_CHAR, c, 1);  // typed
    Key(field, VK_RETURN);  // OK is the default button
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, IDC_EDIT_S2) == " news.example.com "; }));
    // The field starts empty every time; an empty address clears S3.
    Click(dlg, IDC_BTN_S3);
    addr = WaitForWindow(kAddressTitle);
    fieldAtSecondOpening = ItemText(addr, IDC_ADDRESS);
    Click(addr, IDOK);
    WaitGone(addr);
    Click(dlg, IDCANCEL);
  });
  EXPECT_EQ(seen, std::vector<bool>(3, true));
  EXPECT_NEAR(addrRect.left + addrRect.right, dlgRect.left + dlgRect.right, 4);
  EXPECT_NEAR(addrRect.top + addrRect.bottom, dlgRect.top + dlgRect.bottom, 4);
  EXPECT_EQ(fieldAtSecondOpening, "");
  EXPECT_EQ(slots.Current(kSlotAddress1) + slots.Pending(kSlotAddress1), " news.example.com  news.example.com ");
  EXPECT_EQ(slots.Current(kSlotAddress2) + slots.Pending(kSlotAddress2), "");
  // The next poll tick stores it; nothing has even made the key yet.
  EXPECT_EQ(Platform().registry.Open(kSlotKeyPath), nullptr);
}

// Browsing changes only the pending text: launches keep starting the old
// program until OK or Apply commits the choice, in this run or a later one.
TEST_F(PropertiesTest, BrowseStartsTheChosenProgramAndLeavesCurrentUntilCommitted) {
  struct Row { int button, slot, field; const char* initialName; std::string chosen; };
  const Row rows[] = {{IDC_BTN_S1, kSlotBrowser, IDC_EDIT_S1, "IEXPLORE.exe", "C:\\zeph apps\\Web Browser.exe"},
                      {IDC_BTN_S4, kSlotMailer, IDC_EDIT_S4, "OutLook.exe", "C:\\zeph apps\\Mail Program.exe"}};
  Platform().registry.Create(kSlotKeyPath);
  for (const Row& row : rows) {
    ASSERT_TRUE(InstallMarker(row.chosen));
    slots.SetCurrent(row.slot, "C:\\old.exe");
    slots.WriteSlot(slots.Name(row.slot));
  }
  Open([&](HWND dlg) {
    for (const Row& row : rows) {
      Click(dlg, row.button);
      HWND open = WaitForWindow("Open", 10000), name = nullptr;  // and its file-name field, cmb13
      WaitUntil([&] { return (name = GetDlgItem(open, 1148)) != nullptr; });
      std::string seen = Text(name) + "|";  // the file name, then the file-type list
      HWND types = GetDlgItem(open, 1136);
      for (int i = 0, n = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        char text[128] = "";
        SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        seen += std::string(text) + ";";
      }
      EXPECT_EQ(seen, std::string(row.initialName) + "|(*.exe) file;(*.com) files;");
      SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.chosen.c_str()));
      PostMessageA(open, WM_COMMAND, IDOK, 0);
      ASSERT_TRUE(WaitGone(open, 10000));
      EXPECT_TRUE(WaitUntil([&] { return ItemText(dlg, row.field) == row.chosen; })) << row.chosen;
      EXPECT_TRUE(WaitUntil([&] { return MarkerLog().find(row.chosen) != std::string::npos; }, 10000));
    }
    Click(dlg, IDCANCEL);
  });
  // Started at once, by the quoted path.
  EXPECT_EQ(MarkerLog(), "\"" + rows[0].chosen + "\"\n\"" + rows[1].chosen + "\"\n");
  for (bool committed : {false, true}) {
    if (committed) Open([&](HWND dlg) { Click(dlg, IDOK); });
    for (const Row& row : rows) {
      const std::string current = committed ? row.chosen : "C:\\old.exe";
      EXPECT_EQ(slots.Pending(row.slot), row.chosen);
      EXPECT_EQ(slots.Current(row.slot), current);
      EXPECT_EQ(StoredSlot(slots.Name(row.slot)), current);
    }
  }
  // Opening copies nothing into the pending texts, so OK stores them as they
  // are, the empty address the dialog showed its default for too.
  EXPECT_EQ(StoredSlot("S2") + slots.Current(kSlotAddress1), "");
}

// A dialog that cannot be created stores nothing.
TEST_F(PropertiesTest, AFailedOpeningStoresNothing) {
  Platform().registry.Create(kSlotKeyPath);
  ASSERT_TRUE(UnregisterClassA(kCommandButtonClass, GetModuleHandleA(nullptr)));
  slots.SetPending(kSlotBrowser, "C:\\pending.exe");
  OpenProperties();
  RegisterFormsControls(GetModuleHandleA(nullptr));
  EXPECT_EQ(StoredSlot("S1"), "<missing>");
}

// Bytes in use in all of the process's heaps.
size_t HeapBytesInUse() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  size_t used = 0;
  for (HANDLE heap : heaps) {
    PROCESS_HEAP_ENTRY e = {};
    HeapLock(heap);
    while (HeapWalk(heap, &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += e.cbData;
    HeapUnlock(heap);
  }
  return used;
}

// Each opening, applied and cancelled, gives back what it took from the heaps.
TEST_F(PropertiesTest, OpeningsLeaveNoHeapBehind) {
  Platform().registry.Create(kSlotKeyPath);
  const auto openings = [&](int n) {
    for (int i = 0; i < n; ++i) Open([](HWND dlg) { Click(dlg, IDC_APPLY), Click(dlg, IDCANCEL); });
    return HeapBytesInUse();
  };
  const size_t warm = openings(5);
  const size_t after = openings(40);
  EXPECT_LT(after, warm + 40 * 64);
}

}  // namespace
}  // namespace zeph

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

// Before each run: a mail program chosen but not committed, a second address
// in use but not stored, the key there and empty. The dialog shows the
// defaults of empty slots. Typed addresses are in use at once (the next tick
// stores them); a browsed program is started at once, by its quoted path, but
// launches keep starting the old one until OK or Apply commits the choice.
TEST_F(PropertiesTest, EachWayThroughTheDialogStoresExactlyItsShare) {
  constexpr int kType = -1, kBrowse = -2;  // an address typed for S2, a program chosen for S4
  const std::string mail = "C:\\Mail\\mail.exe", chosen = "C:\\zeph apps\\Mail Program.exe";
  const std::string missing = "<missing>|<missing>|<missing>|<missing>";
  const std::string shown = std::string(kDefaultBrowser) + "|" + kDefaultAddress + "|kept.example|" + kDefaultMailer;
  const struct { std::vector<int> steps; std::string stored, current; } cases[] = {
      {{IDCANCEL}, missing, shown},
      {{IDOK}, "|||" + mail, "|||" + mail},
      {{IDC_APPLY, IDCANCEL}, "|||" + mail, "|||" + mail},
      {{IDC_DEFAULT, IDCANCEL}, shown, shown},
      {{kType, IDCANCEL}, missing, std::string(kDefaultBrowser) + "| news.example.com |kept.example|" + kDefaultMailer},
      {{kBrowse, IDCANCEL}, missing, shown},
      {{kBrowse, IDOK}, "|||" + chosen, "|||" + chosen},
  };
  for (const auto& c : cases) {
    ResetSlots();
    Platform().registry.Create(kSlotKeyPath);
    slots.SetPending(kSlotMailer, mail);
    slots.SetCurrent(kSlotAddress2, "kept.example");
    ASSERT_TRUE(InstallMarker(chosen));
    Open([&](HWND dlg) {
      for (int step : c.steps) {
        if (step == kType) {
          Click(dlg, IDC_BTN_S2);
          HWND field = GetDlgItem(WaitForWindow(kAddressTitle), IDC_ADDRESS);
          for (char ch : std::string(" news.example.com ")) PostMessageA(field, WM_CHAR, ch, 1);
          Key(field, VK_RETURN);  // OK is the default button
          WaitGone(GetParent(field));
        } else if (step == kBrowse) {
          Click(dlg, IDC_BTN_S4);
          HWND open = WaitForWindow("Open"), name = nullptr;  // and its file-name field, cmb13
          WaitUntil([&] { return (name = GetDlgItem(open, 1148)) != nullptr; });
          SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
          PostMessageA(open, WM_COMMAND, IDOK, 0);
          EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == "\"" + chosen + "\"\n"; })) << MarkerLog();
        } else {
          Click(dlg, step);
        }
      }
    });
    EXPECT_EQ(Seen(), c.stored + "||" + c.current) << c.steps.front() << " " << c.steps.back();
  }
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

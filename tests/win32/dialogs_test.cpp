// The address input and Properties dialogs as a user meets them: real keys and
// clicks, the fields read as shown, the controls as a screen reader asks for
// them; with the real registry and the open-file dialog. The end-to-end suite
// sees that only one Properties window opens.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include "dialogs/properties_dlg.h"
#include "test_support.h"

namespace zeph {
namespace {

using namespace test;

constexpr const char* kAddressTitle = "Input Dialog";
// The picture buttons in the order Tab visits them, and each slot's field.
constexpr int kTabOrder[] = {IDC_BTN_S1, IDC_BTN_S2, IDC_BTN_S3, IDC_BTN_S4, IDOK, IDCANCEL, IDC_APPLY, IDC_DEFAULT};
constexpr int kFieldOf[] = {0, IDC_EDIT_S1, IDC_EDIT_S2, IDC_EDIT_S3, IDC_EDIT_S4};

std::string Text(HWND w) {
  char text[300] = "";
  GetWindowTextA(w, text, sizeof text);
  return text;
}

// What the four fields show, S1 to S4.
std::string Shown(HWND dlg) {
  std::string all;
  for (int n = 1; n <= 4; ++n) all += (n > 1 ? "|" : "") + Text(GetDlgItem(dlg, kFieldOf[n]));
  return all;
}

// The button as drawn now, pixel by pixel.
std::string Picture(HWND w) {
  RECT rc = {};
  GetClientRect(w, &rc);
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  std::string pixels(static_cast<size_t>(rc.right * rc.bottom * 4), '\0');
  GetBitmapBits(static_cast<HBITMAP>(SelectObject(dc, old)), static_cast<LONG>(pixels.size()), &pixels[0]);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

// What a screen reader is told of a window: "name/role".
std::string Accessible(HWND w) {
  // The GUID itself: through -loleacc, MinGW's IID_IAccessible is an import stub.
  const GUID iid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(w, OBJID_CLIENT, iid, reinterpret_cast<void**>(&object)))) return "<none>";
  VARIANT self = {}, role = {};
  self.vt = VT_I4;  // CHILDID_SELF: 0
  BSTR name = nullptr;
  object->get_accName(self, &name);
  object->get_accRole(self, &role);
  object->Release();
  const std::string text(name, name + SysStringLen(name));  // the names are ASCII
  SysFreeString(name);
  return text + "/" + std::to_string(role.lVal);
}

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSlots(); }
  void TearDown() override { ResetSlots(); }
  SlotStore& slots = Slots();

  // Runs the dialog as the tray icon opens it, with driver acting on its window.
  static void Open(const std::function<void(HWND)>& driver, const std::string& what = "") {
    RunWithDriver(
        [&] {
          CoInitialize(nullptr);
          HWND hwnd = WaitForWindow(kPropertiesTitle);
          // Input goes where the focus is: at first on S1, the first tab stop.
          if (hwnd && WaitUntil([&] { return Focused() == GetDlgItem(hwnd, IDC_BTN_S1); }, "S1's focus")) driver(hwnd);
          // Whatever the driver left open is cancelled, so a failed check cannot hang the run.
          if (WaitGone(hwnd, what + " the Properties dialog to close")) return;
          PostMessageA(FindWindowA(nullptr, kAddressTitle), WM_COMMAND, IDCANCEL, 0);
          PostMessageA(FindWindowA(nullptr, "Open"), WM_COMMAND, IDCANCEL, 0);
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

// Tab and Shift+Tab go round the picture buttons in order, and the one with
// the focus is drawn marked until the focus leaves it. A screen reader meets
// each picture button by its name as a push button, and each field by its
// slot. A standard button of this run, asked the same way, shows the question
// itself is sound (Wine calls its own buttons a client area where Windows says
// push button; ours say push button on both).
TEST_F(PropertiesTest, KeyboardAndScreenReaderMeetEachControlInOrderAndByName) {
  HWND standard = CreateWindowA("BUTTON", "&OK", WS_POPUP | BS_PUSHBUTTON, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Accessible(standard).substr(0, 3), "OK/");
  DestroyWindow(standard);
  const std::string button = "/" + std::to_string(ROLE_SYSTEM_PUSHBUTTON);
  const struct { int id; std::string seen; } rows[] = {
      {IDC_BTN_S1, "S1" + button}, {IDC_BTN_S2, "S2" + button}, {IDC_BTN_S3, "S3" + button},
      {IDC_BTN_S4, "S4" + button}, {IDOK, "OK" + button}, {IDCANCEL, "Cancel" + button},
      {IDC_APPLY, "Apply" + button}, {IDC_DEFAULT, "Default" + button},
      {IDC_EDIT_S1, "S1/"}, {IDC_EDIT_S2, "S2/"}, {IDC_EDIT_S3, "S3/"}, {IDC_EDIT_S4, "S4/"},
  };
  Open([&](HWND dlg) {
    for (const auto& row : rows) {
      const std::string seen = Accessible(GetDlgItem(dlg, row.id));
      EXPECT_EQ(seen.substr(0, row.seen.size()), row.seen) << row.id << ": " << seen;
    }
    for (UINT shift : {0u, UINT{VK_SHIFT}}) {
      for (int i = 1; i <= 8; ++i) {
        HWND left = Focused(), next = GetDlgItem(dlg, kTabOrder[shift ? (8 - i) % 8 : i % 8]);
        const std::string marked = Picture(left);
        Key(VK_TAB, shift);
        if (!WaitUntil([&] { return Focused() == next; }, "Tab " + std::to_string(i) + " to reach " + Text(next))) return;
        EXPECT_NE(Picture(left), marked) << Text(left) << " still marked, shift " << shift;
      }
    }
    Key(VK_ESCAPE);
  });
}

// Each way a user goes through the dialog, by keyboard and mouse. Before each
// run: a first program of the user's own, a mail program chosen but not
// committed, a second address in use but not stored, the key there and empty;
// the dialog shows the defaults of the other slots. Escape, Alt+F4 and a press
// that leaves its button before the release do what Cancel does. Typed
// addresses are in use at once (the next tick stores them), and Escape in the
// address dialog leaves the row alone; a browsed program is started at once,
// by its quoted path, but launches keep starting the old one until OK or Apply
// commits the choice; Default stores its three defaults and leaves S3.
TEST_F(PropertiesTest, EachWayThroughTheDialogShowsAndStoresExactlyItsShare) {
  enum Act { kClick, kEdge, kSpace, kEnter, kLeave, kEscape, kAltF4, kAddress, kEscapeAddress, kBrowse };
  struct Step { Act act; int id; };
  const std::string old = "C:\\Old\\browser.exe", mail = "C:\\Mail\\mail.exe", chosen = "C:\\zeph apps\\Mail Program.exe";
  const std::string missing = "<missing>|<missing>|<missing>|<missing>";
  const std::string opened = old + "|" + kDefaultAddress + "|kept.example|" + kDefaultMailer;
  const std::string defaults = std::string(kDefaultBrowser) + "|" + kDefaultAddress + "|kept.example|" + kDefaultMailer;
  // shown: the fields before the last step
  const struct { std::vector<Step> steps; std::string shown, stored, current; } cases[] = {
      {{{kEscape, 0}}, opened, missing, opened},
      {{{kAltF4, 0}}, opened, missing, opened},
      {{{kLeave, IDOK}, {kClick, IDCANCEL}}, opened, missing, opened},
      {{{kEdge, IDOK}}, opened, "|||" + mail, "|||" + mail},
      {{{kEnter, IDC_APPLY}, {kEscape, 0}}, opened, "|||" + mail, "|||" + mail},
      {{{kSpace, IDC_DEFAULT}, {kEdge, IDCANCEL}}, defaults, defaults, defaults},
      {{{kSpace, IDC_BTN_S2}, {kAddress, 0}, {kEscape, 0}}, old + "| news.example.com |kept.example|" + kDefaultMailer,
       missing, old + "| news.example.com |kept.example|" + kDefaultMailer},
      {{{kClick, IDC_BTN_S3}, {kEscapeAddress, 0}, {kEscape, 0}}, opened, missing, opened},
      {{{kEnter, IDC_BTN_S4}, {kBrowse, 0}, {kEscape, 0}}, old + "|" + kDefaultAddress + "|kept.example|" + chosen,
       missing, opened},
      {{{kClick, IDC_BTN_S1}, {kBrowse, 0}, {kClick, IDOK}}, chosen + "|" + kDefaultAddress + "|kept.example|" +
       kDefaultMailer, chosen + "|||" + mail, chosen + "|||" + mail},
  };
  for (const auto& c : cases) {
    const std::string row = "row " + std::to_string(&c - cases);
    ResetSlots();
    Platform().registry.Create(kSlotKeyPath);
    slots.SetCurrent(kSlotBrowser, old);
    slots.SetPending(kSlotMailer, mail);
    slots.SetCurrent(kSlotAddress2, "kept.example");
    ASSERT_TRUE(InstallMarker(chosen));
    Open([&](HWND dlg) {
      for (const Step& step : c.steps) {
        if (&step == &c.steps.back()) {
          EXPECT_TRUE(WaitUntil([&] { return Shown(dlg) == c.shown; }, row + " to show " + c.shown)) << Shown(dlg);
        }
        HWND button = GetDlgItem(dlg, step.id);
        switch (step.act) {
          case kClick: case kEdge: case kLeave:
            Drag(PointIn(button, step.act == kEdge ? 1 : -1), PointIn(button, step.act == kLeave ? 300 : -1), button);
            break;
          case kSpace: case kEnter:
            for (int i = 0; i < 8 && Focused() != button; ++i) {
              HWND was = Focused();
              Key(VK_TAB);
              WaitUntil([&] { return Focused() != was; }, row + ": Tab to move the focus");
            }
            Key(step.act == kSpace ? VK_SPACE : VK_RETURN);
            break;
          case kEscape: Key(VK_ESCAPE); break;
          case kAltF4: Key(VK_F4, VK_MENU); break;
          case kAddress: case kEscapeAddress: {
            HWND box = WaitForWindow(kAddressTitle), field = GetDlgItem(box, IDC_ADDRESS);
            if (!box || !WaitUntil([&] { return Focused() == field; }, row + ": the address field's focus")) return;
            EXPECT_EQ(Text(field), "") << row;
            // Typed out of order, to be put right with Home, End and Backspace.
            Type("ews.example.co");
            Key(VK_HOME);
            Type(" n");
            Key(VK_END);
            Type("mx");
            Type("\b ");
            Key(step.act == kAddress ? VK_RETURN : VK_ESCAPE);
            WaitGone(box, row + ": the address dialog to close");
            break;
          }
          case kBrowse: {
            HWND open = WaitForWindow("Open");
            if (!open || !WaitUntil([&] { return GetAncestor(Focused(), GA_ROOT) == open; }, row + ": the file name's focus")) return;
            Type(chosen);
            Key(VK_RETURN);
            EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == "\"" + chosen + "\"\n"; }, "the chosen program's start"))
                << MarkerLog();
            break;
          }
        }
      }
    }, row);
    EXPECT_EQ(Seen(), c.stored + "||" + c.current) << row;
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
    for (int i = 0; i < n; ++i) {
      Open([](HWND dlg) {
        ClickAt(PointIn(GetDlgItem(dlg, IDC_APPLY)), GetDlgItem(dlg, IDC_APPLY));
        Key(VK_ESCAPE);
      });
    }
    return HeapBytesInUse();
  };
  const size_t warm = openings(3);
  const size_t after = openings(20);
  EXPECT_LT(after, warm + 20 * 64);
}

}  // namespace
}  // namespace zeph

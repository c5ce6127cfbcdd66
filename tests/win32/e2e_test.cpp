// zephkeys.exe as a user meets it: the program of the simulator set started as
// a child process and driven only from outside, its buttons pressed with the
// pad, its tray icon's notifications sent as the shell sends them, its menu
// and boxes worked with real keys and clicks, its registry key changed as other
// programs change it.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "res/resource.h"
#include "test_support.h"

namespace zeph::test {
namespace {

constexpr UINT kTrayNotify = WM_USER + 100, kTrayId = 9999;
constexpr const char* kWelcome = "Welcome to Velmaris Zephra World";
constexpr const char* kProperties = "Properties for Zephra Button";
constexpr const char* kAbout = "About Zephra Button";
constexpr const char* kAlreadyRunning = "error running!!";
constexpr const char* kLaunchErrorCaption = "WinExec() error call";
bool IconShown(HWND owner, DWORD message = NIM_MODIFY) { return TrayIcon(owner, kTrayId, message); }

class Zephkeys : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
    // The simulated chipset outlives every process: no press left on either.
    for (const char* step : {"chipset other", "raw 0", "chipset sis", "raw 0"}) Pad(step);
  }
  void TearDown() override {
    for (const auto& p : m_procs) {
      const std::vector<HWND> tray = p->Windows("Zephkeys", nullptr);
      if (!tray.empty() && PostMessageA(tray[0], WM_COMMAND, IDM_TRAY_EXIT, 0)) p->Exit();
      for (HWND box : p->Windows(nullptr, kLaunchErrorCaption)) PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    m_procs.clear();  // and with them any copy still there
    RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
  }

  Process& Start(DWORD flags = 0) {
    m_procs.push_back(std::make_unique<Process>("\"" + SimDir() + "zephkeys.exe\"", flags));
    return *m_procs.back();
  }
  // The program's hidden window once its icon is in the tray and its welcome
  // dialog has hidden itself; null before.
  static HWND TrayOf(const Process& p) {
    const auto w = p.Windows("Zephkeys", "Velmaris Zephkeys"), m = p.Windows(nullptr, kWelcome);
    const bool ready = w.size() == 1 && m.size() == 1 && !IsWindowVisible(w[0]) && !IsWindowVisible(m[0]);
    return ready && IconShown(w[0]) ? w[0] : nullptr;
  }
  static HWND Ready(const Process& p) {
    HWND tray = nullptr;
    WaitUntil([&] { return (tray = TrayOf(p)) != nullptr; }, "the program in the tray");
    return tray;
  }

  std::vector<std::unique_ptr<Process>> m_procs;
};

TEST_F(Zephkeys, EachButtonStartsItsCommandLineAsTheKeyStandsOrReportsAMissingProgramOnce) {
  const std::string browser = "C:\\Zeph Browser\\browser.exe", mailer = "C:\\ZephMail\\mail.exe";
  // Unquoted, the browser's path would start C:\Zeph.exe, as Windows tries the
  // shortest name first.
  ASSERT_TRUE(InstallMarker("C:\\Zeph.exe") && InstallMarker(browser) && InstallMarker(mailer));
  const std::string slots[] = {browser, "www.one.example", "two.example/a?b=c", mailer};
  for (int i = 0; i < 4; ++i) PutSlot(("S" + std::to_string(i + 1)).c_str(), slots[i]);
  ASSERT_TRUE(Ready(Start()));
  const std::string quoted = "\"" + browser + "\"";
  const std::string expected[] = {quoted, mailer, quoted + " " + slots[1], quoted + " " + slots[2]};
  for (const char* chipset : {"sis", "other"}) {
    Pad(std::string("chipset ") + chipset);
    for (int n = 1; n <= 4; ++n) {
      ClearMarkerLog();
      Pad("press " + std::to_string(n));
      const DWORD pressed = GetTickCount();
      EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == expected[n - 1] + "\n"; }, expected[n - 1]))
          << chipset << " button " << n << " started:\n" << MarkerLog();
      // Pressed just after the last press's tick: a poll left at the 30 s of a
      // confirmation would take the next one only about 30 s after that tick.
      EXPECT_LT(GetTickCount() - pressed, 15000u) << chipset << " button " << n << ": the poll is not back to 1 s";
    }
  }
  // A program that is not there is reported in one box, and the same failure
  // while that box is open adds none: the next press's start shows that the
  // tick of the failure is over.
  PutSlot("S1", "C:\\Nowhere\\missing.exe");
  Pad("press 1");
  HWND box = WaitForWindow(kLaunchErrorCaption);
  ASSERT_TRUE(box);
  Pad("press 1");
  ASSERT_TRUE(WaitUntil([] { return Pad("show").find("press waiting: none") != std::string::npos; }, "the press taken"));
  ClearMarkerLog();
  Pad("press 2");
  EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == mailer + "\n"; }, "the mail program"));
  EXPECT_EQ(TopLevel(nullptr, kLaunchErrorCaption).size(), 1u);
  // Another program changes the key while the program runs: the key deleted
  // is back with its defaults before the next press; a value changed between
  // ticks is what the next press starts; the key renamed away and made anew
  // with one value is the one followed, filled up with the defaults.
  const std::string fallback = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE", one = "C:\\one.exe", two = "C:\\two.exe";
  ASSERT_TRUE(InstallMarker(fallback) && InstallMarker(one) && InstallMarker(two));
  const auto rename = reinterpret_cast<LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegRenameKey")));
  ASSERT_TRUE(rename);
  // Buttons 2 and 3 start S4's program and S2's address.
  const struct { const char* what; std::function<void()> change; int button; std::string started; } rows[] = {
      {"deleted", [] { RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath); }, 3, "\"" + fallback + "\" " + kDefaultAddress},
      {"changed", [&] { PutSlot("S4", one); }, 2, one},
      {"renamed", [&] { EXPECT_EQ(rename(HKEY_CURRENT_USER, L"Software\\Velmaris\\Zephbox", L"Zephbox.old"), 0);
                        PutSlot("S4", two); }, 2, two},
  };
  for (const auto& row : rows) {
    ClearMarkerLog();
    row.change();
    Pad("press " + std::to_string(row.button));
    EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == row.started + "\n"; }, row.started)) << row.what << ": " << MarkerLog();
    EXPECT_TRUE(WaitUntil([] { return StoredSlot("S1") == kDefaultBrowser && StoredSlot("S2") == kDefaultAddress; },
                          std::string("the defaults back after the key was ") + row.what));
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Velmaris\\Zephbox.old");
}


// The tray menu as the shell asks for it: a right click on the icon, and
// Shift+F10 or the context-menu key on the icon's keyboard selection, arrive
// alike for an icon of the first version.
HWND OpenMenu(HWND tray) {
  SetCursorPos(500, 300);  // where it opens: room all round it
  PostMessageA(tray, kTrayNotify, kTrayId, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  // Shown is not yet tracking: a click before the menu holds the mouse is lost.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  WaitUntil([&] {
    return IsWindowVisible(menu = FindWindowA("#32768", nullptr)) &&
           GetGUIThreadInfo(GetWindowThreadProcessId(tray, nullptr), &gui) && (gui.flags & GUI_INMENUMODE) &&
           gui.hwndCapture;
  }, "the tray menu, holding the mouse");
  return menu;
}

// What the tray window has done with what came before, seen once its menu,
// asked for after it, shows: the About boxes and Properties windows it
// opened. Everything is closed afterwards.
std::pair<size_t, size_t> OpenedBefore(HWND tray) {
  HWND menu = OpenMenu(tray);
  const std::vector<HWND> about = TopLevel("#32770", kAbout), props = TopLevel("#32770", kProperties);
  Key(VK_ESCAPE);
  WaitGone(menu);
  for (HWND w : about) PostMessageA(w, WM_COMMAND, IDOK, 0);
  for (HWND w : props) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
  WaitUntil([] { return TopLevel("#32770", kAbout).empty() && TopLevel("#32770", kProperties).empty(); }, "all closed");
  return {menu ? about.size() : 99, props.size()};
}

// The menu's items chosen with the arrows and Enter or clicked, the menu left
// by Escape or a click outside, the icon's double click. The About box closes
// by Enter and by Escape; an open Properties window refuses a second one.
TEST_F(Zephkeys, TrayMenuAndDoubleClickRunTheirCommand) {
  const Process& p = Start();
  HWND tray = Ready(p);
  ASSERT_TRUE(tray);
  enum Way { kArrows, kClickItem, kEscape, kOutside, kDoubleClick };
  // downs: the item, 1 to 4 from the top (Settings, About, Close, Exit)
  const struct { Way way; int downs; UINT aboutKey; size_t props; } rows[] = {
      {kEscape, 0, 0, 0}, {kOutside, 0, 0, 0}, {kArrows, 3, 0, 0}, {kArrows, 2, VK_RETURN, 0},
      {kClickItem, 2, VK_ESCAPE, 0}, {kArrows, 1, 0, 1}, {kDoubleClick, 0, 0, 1}, {kClickItem, 4, 0, 0},
  };
  for (const auto& row : rows) {
    const std::string what = "way " + std::to_string(row.way) + " item " + std::to_string(row.downs);
    if (row.way == kDoubleClick) {
      PostMessageA(tray, kTrayNotify, kTrayId, WM_LBUTTONDBLCLK);
    } else {
      HWND menu = OpenMenu(tray);
      ASSERT_TRUE(menu) << what;
      RECT rc;
      GetWindowRect(menu, &rc);
      if (row.way == kArrows) {
        for (int i = 0; i < row.downs; ++i) Key(VK_DOWN);
        Key(VK_RETURN);
      } else if (row.way == kClickItem) {
        ClickAt({(rc.left + rc.right) / 2, rc.top + (rc.bottom - rc.top) * (2 * row.downs - 1) / 8});
      } else {
        row.way == kEscape ? Key(VK_ESCAPE) : ClickAt({rc.right + 40, rc.bottom + 40});
      }
      ASSERT_TRUE(WaitGone(menu)) << what;
    }
    if (row.downs == 4) break;
    if (row.aboutKey) {
      HWND about = WaitForWindow(kAbout);
      ASSERT_TRUE(about && WaitUntil([&] { return GetForegroundWindow() == about; }, "the About box's focus")) << what;
      Key(row.aboutKey);
      EXPECT_TRUE(WaitGone(about)) << what;
    }
    if (row.props) {
      ASSERT_TRUE(WaitForWindow(kProperties)) << what;
      PostMessageA(tray, kTrayNotify, kTrayId, WM_LBUTTONDBLCLK);
    }
    EXPECT_EQ(OpenedBefore(tray), std::make_pair(size_t{0}, row.props)) << what;
  }
  EXPECT_EQ(p.Exit(), 0u);
}

TEST_F(Zephkeys, TwentyCopiesStartedAtOnceLeaveOneRunningWhoseIconANewTaskbarGetsBack) {
  for (int i = 0; i < 20; ++i) Start(CREATE_SUSPENDED);
  for (const auto& p : m_procs) p->Resume();
  // Every copy is in the tray or at its box; the boxes' copies end with 1, and
  // only then is the one left known to have outlived them all.
  std::vector<HWND> boxes;
  ASSERT_TRUE(WaitUntil([&] { return (boxes = TopLevel(nullptr, kAlreadyRunning)).size() == m_procs.size() - 1; },
                        "19 boxes"));
  const Process* survivor = nullptr;
  std::vector<const Process*> others;
  for (const auto& p : m_procs) p->Windows(nullptr, kAlreadyRunning).empty() ? void(survivor = p.get()) : others.push_back(p.get());
  for (HWND box : boxes) PostMessageA(box, WM_COMMAND, IDOK, 0);
  for (const Process* p : others) EXPECT_EQ(p->Exit(), 1u);
  HWND tray = survivor ? TrayOf(*survivor) : nullptr;
  ASSERT_TRUE(tray && survivor->Exit(false) == STILL_ACTIVE);
  // What an Explorer restart does: the icon is gone, the new taskbar announces itself.
  ASSERT_TRUE(IconShown(tray, NIM_DELETE));
  SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IconShown(tray); }, "the icon back"));
}

}  // namespace
}  // namespace zeph::test

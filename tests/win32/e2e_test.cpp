// zephkeys.exe as a user meets it: the program of the simulator set started as
// a child process and driven only from outside, its buttons pressed with the
// pad, its tray icon's notifications sent, its menu clicked, its boxes read.
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
    WaitUntil([&] { return (tray = TrayOf(p)) != nullptr; });
    return tray;
  }

  std::vector<std::unique_ptr<Process>> m_procs;
};

TEST_F(Zephkeys, EachButtonOnBothChipsetsStartsItsCommandLineOrReportsAMissingProgramOnce) {
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
      DeleteFileA(kMarkerLog);
      Pad("press " + std::to_string(n));
      EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == expected[n - 1] + "\n"; }))
          << chipset << " button " << n << " started:\n" << MarkerLog();
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
  ASSERT_TRUE(WaitUntil([] { return Pad("show").find("press waiting: none") != std::string::npos; }));
  DeleteFileA(kMarkerLog);
  Pad("press 2");
  EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == mailer + "\n"; }));
  EXPECT_EQ(TopLevel(nullptr, kLaunchErrorCaption).size(), 1u);
  Click(box, IDOK);
  EXPECT_TRUE(WaitGone(box));
}

HWND ShownMenu() {
  HWND menu = nullptr;
  WaitUntil([&] { return IsWindowVisible(menu = FindWindowA("#32768", nullptr)); });
  return menu;
}

// What the tray window has done with the messages posted to it so far, seen
// once its menu, asked for after them, shows: the About boxes and Properties
// windows it opened. Everything is closed afterwards.
std::pair<size_t, size_t> OpenedBefore(HWND tray) {
  PostMessageA(tray, kTrayNotify, kTrayId, WM_RBUTTONDOWN);
  HWND menu = ShownMenu();
  const std::vector<HWND> about = TopLevel("#32770", kAbout), props = TopLevel("#32770", kProperties);
  Key(menu, VK_ESCAPE);
  WaitGone(menu);
  for (HWND w : about) PostMessageA(w, WM_COMMAND, IDOK, 0);
  for (HWND w : props) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
  WaitUntil([] { return TopLevel("#32770", kAbout).empty() && TopLevel("#32770", kProperties).empty(); });
  return {menu ? about.size() : 99, props.size()};
}

// Each way into the tray window's commands: an item of its menu clicked, the
// icon's double click. An open Properties window refuses a second one.
TEST_F(Zephkeys, TrayMenuAndDoubleClickRunTheirCommand) {
  const Process& p = Start();
  HWND tray = Ready(p);
  ASSERT_TRUE(tray);
  enum Way { kSettings, kAboutItem, kClose, kExit, kDoubleClick };
  const int tops[] = {0, 40, 80, 121, 161};  // of the menu's four pictures
  for (Way way : {kClose, kAboutItem, kSettings, kDoubleClick, kExit}) {
    if (way == kDoubleClick) {
      PostMessageA(tray, kTrayNotify, kTrayId, WM_LBUTTONDBLCLK);
    } else {
      SetCursorPos(500, 300);  // the menu opens below it
      PostMessageA(tray, kTrayNotify, kTrayId, WM_RBUTTONDOWN);
      HWND menu = ShownMenu();
      ASSERT_TRUE(menu);
      // Its owner has the foreground, or a click elsewhere would not close it.
      EXPECT_EQ(GetForegroundWindow(), tray);
      RECT rc;
      GetWindowRect(menu, &rc);
      ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom - 161) / 2 + (tops[way] + tops[way + 1]) / 2);
      ASSERT_TRUE(WaitGone(menu)) << way;
    }
    if (way == kExit) break;
    const bool props = way == kSettings || way == kDoubleClick;
    if (props) {
      ASSERT_TRUE(WaitForWindow(kProperties));
      PostMessageA(tray, kTrayNotify, kTrayId, WM_LBUTTONDBLCLK);
      PostMessageA(tray, WM_COMMAND, IDM_TRAY_SETTINGS, 0);
    }
    EXPECT_EQ(OpenedBefore(tray), std::make_pair(size_t{way == kAboutItem}, size_t{props})) << way;
  }
  EXPECT_EQ(p.Exit(), 0u);
}

TEST_F(Zephkeys, SecondInstanceLeavesTheFirstsIconAndANewTaskbarGetsItBack) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  const Process& second = Start();
  HWND box = WaitForWindow(kAlreadyRunning);
  ASSERT_TRUE(box);
  Click(box, IDOK);
  EXPECT_EQ(second.Exit(), 1u);
  EXPECT_TRUE(IconShown(tray));
  // What an Explorer restart does: the icon is gone, the new taskbar announces itself.
  ASSERT_TRUE(IconShown(tray, NIM_DELETE));
  SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IconShown(tray); }));
}

TEST_F(Zephkeys, TwentyCopiesStartedAtOnceLeaveOneRunning) {
  for (int i = 0; i < 20; ++i) Start(CREATE_SUSPENDED);
  for (const auto& p : m_procs) p->Resume();
  // The count is final once every copy is in the tray or at its box.
  std::vector<HWND> boxes, trays;
  EXPECT_TRUE(WaitUntil([&] {
    boxes = TopLevel(nullptr, kAlreadyRunning);
    trays.clear();
    for (const auto& p : m_procs)
      if (HWND tray = TrayOf(*p)) trays.push_back(tray);
    return boxes.size() + trays.size() == m_procs.size();
  }));
  ASSERT_EQ(trays.size(), 1u);
  for (HWND box : boxes) Click(box, IDOK);
  for (const auto& p : m_procs) {
    const bool survivor = TrayOf(*p) == trays[0];
    EXPECT_EQ(p->Exit(!survivor), survivor ? STILL_ACTIVE : 1u);
  }
}

}  // namespace
}  // namespace zeph::test

// zephkeys.exe as a user meets it: the program of the simulator set started as
// a child process and driven only from outside, its buttons pressed with the
// pad, its tray icon's notifications sent, its menu clicked, its boxes read.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "test_support.h"

namespace zeph::test {
namespace {

constexpr UINT kTrayNotify = WM_USER + 100, kTrayId = 9999;
bool IconShown(HWND owner, DWORD message = NIM_MODIFY) { return TrayIcon(owner, kTrayId, message); }
constexpr const char* kWelcome = "Welcome to Velmaris Zephra World";
constexpr const char* kProperties = "Properties for Zephra Button";

// Runs end, which makes the program quit, as the program's debugger: it stops
// at each debug event, and the first stop after its welcome dialog has gone
// while its hidden window is still there (it lets its port library go then)
// tells whether its icon was still in the tray on its way out. -1: no such stop.
int IconAtShutdown(const PROCESS_INFORMATION& pi, const std::function<void()>& end) {
  if (!DebugActiveProcess(pi.dwProcessId)) return -1;
  DebugSetProcessKillOnExit(FALSE);
  end();
  int icon = -1;
  DEBUG_EVENT ev;
  while (WaitForDebugEvent(&ev, 10000)) {
    const DWORD code = ev.dwDebugEventCode;
    if (code == CREATE_PROCESS_DEBUG_EVENT && ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
    if (code == LOAD_DLL_DEBUG_EVENT && ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
    const std::vector<HWND> tray = TopLevel("Zephkeys", nullptr, pi.dwProcessId);
    if (icon < 0 && !tray.empty() && TopLevel(nullptr, kWelcome, pi.dwProcessId).empty()) icon = IconShown(tray[0]);
    const bool fault = code == EXCEPTION_DEBUG_EVENT && ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT;
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, fault ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
    if (code == EXIT_PROCESS_DEBUG_EVENT) break;
  }
  DebugActiveProcessStop(pi.dwProcessId);
  return icon;
}

class Zephkeys : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
    // A copy from an earlier test still on its way out would win every race.
    ASSERT_TRUE(WaitUntil([] { return TopLevel("Zephkeys", nullptr).empty(); }, 20000));
    // The simulated chipset outlives every process: no press left on either.
    for (const char* step : {"chipset other", "raw 0", "chipset sis"}) Pad(step);
    ASSERT_NE(Pad("raw 0").find("press waiting: none"), std::string::npos);
  }

  void TearDown() override {
    for (const PROCESS_INFORMATION& pi : m_procs) {
      const std::vector<HWND> tray = TopLevel("Zephkeys", nullptr, pi.dwProcessId);
      if (!tray.empty()) PostMessageA(tray[0], WM_COMMAND, IDM_TRAY_EXIT, 0);
      if (ExitCode(pi.hProcess, tray.empty() ? 0 : 5000) == STILL_ACTIVE) TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 20000);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    m_procs.clear();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
  }

  const PROCESS_INFORMATION& Start(DWORD flags = 0) {
    m_procs.push_back(Launch("zephkeys.exe", "", nullptr, flags));
    return m_procs.back();
  }

  // The program's hidden window, once its icon is in the tray and its welcome
  // dialog has hidden itself.
  HWND Ready(const PROCESS_INFORMATION& pi) {
    HWND tray = nullptr;
    WaitUntil([&] {
      const auto w = TopLevel("Zephkeys", "Velmaris Zephkeys", pi.dwProcessId), m = TopLevel(nullptr, kWelcome, pi.dwProcessId);
      return (tray = w.size() == 1 && m.size() == 1 && !IsWindowVisible(w[0]) && !IsWindowVisible(m[0]) && IconShown(w[0])
                         ? w[0] : nullptr) != nullptr;
    });
    return tray;
  }

  std::vector<PROCESS_INFORMATION> m_procs;
};

TEST_F(Zephkeys, FirstTickStoresEverySlotAs256ByteText) {
  const std::string dword("\1\0\0\0", 4), full(256, 'u'), unterminated(400, 'x');
  const char* browser = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
  struct Slot { DWORD type; std::string before, after; };  // type 0: no value before the start
  // Values another program left: read whole however long, cut to 255 characters.
  const std::vector<std::vector<Slot>> runs = {
      {{0, "", browser}, {0, "", "www.yahoo.com"}, {0, "", ""}, {0, "", "C:\\Program Files\\Outlook Express\\MSIMN.EXE"}},
      {{REG_DWORD, dword, browser}, {REG_SZ, unterminated, unterminated.substr(0, 255)},
       {REG_SZ, full, full.substr(0, 255)}, {REG_SZ, std::string("a b\0c", 6), "a b"}},
  };
  const char* names[] = {"S1", "S2", "S3", "S4"};
  for (const auto& run : runs) {
    auto key = Platform().registry.Create(kSlotKeyPath);
    for (int i = 0; i < 4; ++i)
      if (run[i].type) key->Set(names[i], run[i].type, reinterpret_cast<const uint8_t*>(run[i].before.data()),
                                static_cast<uint32_t>(run[i].before.size()));
    key.reset();
    ASSERT_TRUE(Ready(Start()));
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(WaitUntil([&] { return StoredSlot(names[i]) == run[i].after; })) << names[i] << StoredSlot(names[i]);
    TearDown();
  }
}

TEST_F(Zephkeys, EachButtonOnBothChipsetsStartsItsCommandLineOrReportsAMissingProgramOnce) {
  const std::string browser = "C:\\Zeph Browser\\browser.exe", mailer = "C:\\ZephMail\\mail.exe";
  ASSERT_TRUE(InstallMarker(browser) && InstallMarker(mailer));
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
  // Through the real start call: a stored text that carries its own quotes or
  // arguments starts as stored; a long path with a space keeps both quotes.
  Pad("chipset sis");
  const std::string longPath = "C:\\" + std::string(200, 'z') + " dir\\b.exe";
  const std::string stored[][3] = {{"C:\\a b\\m.exe", "\"C:\\a b\\m.exe\" -a", "\"C:\\a b\\m.exe\" -a"},
                                   {"C:\\ab\\m.exe", "C:\\ab\\m.exe -b", "C:\\ab\\m.exe -b"},
                                   {longPath, longPath, "\"" + longPath + "\""}};
  for (const auto& row : stored) {
    ASSERT_TRUE(InstallMarker(row[0]));
    PutSlot("S1", row[1]);
    Pad("press 1");
    EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == row[2] + "\n"; })) << row[1] << " started:\n" << MarkerLog();
  }
  // A program that is not there is reported in one box.
  PutSlot("S1", "C:\\Nowhere\\missing.exe");
  Pad("press 1");
  HWND box = WaitForWindow("WinExec() error call");
  ASSERT_TRUE(box);
  EXPECT_TRUE(HasStaticText(box, "The specified file was not found.") ||
              HasStaticText(box, "The specified path was not found."));
  // The same failure again while the box is open.
  Pad("press 1");
  EXPECT_TRUE(WaitUntil([] { return Pad("show").find("press waiting: none") != std::string::npos; }));
  EXPECT_FALSE(WaitUntil([] { return TopLevel(nullptr, "WinExec() error call").size() > 1; }, 1500));
  Click(box, IDOK);
  EXPECT_TRUE(WaitGone(box));
}

TEST_F(Zephkeys, DoubleClickAndSettingsOpenOnePropertiesWindow) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  // The icon's double click, the menu's Settings.
  const struct { UINT msg; WPARAM wp; LPARAM lp; } opens[] = {{kTrayNotify, kTrayId, WM_LBUTTONDBLCLK},
                                                              {WM_COMMAND, IDM_TRAY_SETTINGS, 0}};
  // Any window with the title, here one of this program's, keeps the dialog away.
  HWND other = CreateWindowExA(0, "STATIC", kProperties, WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  PostMessageA(tray, opens[0].msg, opens[0].wp, opens[0].lp);
  EXPECT_FALSE(WaitUntil([] { return !TopLevel("#32770", kProperties).empty(); }, 1500));
  DestroyWindow(other);
  for (const auto& first : opens) {
    PostMessageA(tray, first.msg, first.wp, first.lp);
    HWND props = WaitForWindow(kProperties);
    ASSERT_TRUE(props);
    // Refused at once; a second dialog would keep the call waiting.
    for (const auto& o : opens) SendMessageTimeoutA(tray, o.msg, o.wp, o.lp, SMTO_NORMAL, 1000, nullptr);
    EXPECT_EQ(TopLevel(nullptr, kProperties).size(), 1u);
    PostMessageA(props, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitGone(props));
  }
}

TEST_F(Zephkeys, TrayMenuOpensAtTheCursorAndRunsItsChoice) {
  const PROCESS_INFORMATION& pi = Start();
  HWND tray = Ready(pi);
  ASSERT_TRUE(tray);
  enum Item { kSettings, kAbout, kClose, kExit };
  const int tops[] = {0, 40, 80, 121, 161};  // of the pictures
  struct Choice { Item item; int x, y; };
  for (const Choice& c : {Choice{kClose, 300, 200}, Choice{kAbout, 520, 400}, Choice{kExit, 700, 300}}) {
    SetCursorPos(c.x, c.y);
    POINT at = {};
    ASSERT_TRUE(WaitUntil([&] { return GetCursorPos(&at) && at.x == c.x && at.y == c.y; }));
    PostMessageA(tray, kTrayNotify, kTrayId, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(menu = FindWindowA("#32768", nullptr)); }));
    // Centred below the cursor: four pictures 115 wide and 161 high in all, and
    // the menu's own margins.
    RECT rc;
    GetWindowRect(menu, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    EXPECT_NEAR((rc.left + rc.right) / 2, c.x, 1);
    EXPECT_EQ(rc.top, c.y);
    EXPECT_TRUE(w >= 115 && w < 2 * 115 && h >= 161 && h < 161 + 40) << w << "x" << h;
    // Its owner has the foreground, or a click elsewhere would not close it.
    EXPECT_EQ(GetForegroundWindow(), tray);
    const auto choose = [&] { ClickAt(c.x, rc.top + (h - 161) / 2 + (tops[c.item] + tops[c.item + 1]) / 2); };
    if (c.item == kExit) {
      EXPECT_EQ(IconAtShutdown(pi, choose), 0);
      EXPECT_EQ(ExitCode(pi.hProcess, 5000), 0u);
      continue;
    }
    choose();
    EXPECT_TRUE(WaitGone(menu));
    // Close: a second for anything else to happen.
    HWND about = WaitForWindow("About Zephra Button", c.item == kAbout ? 5000 : 1000);
    EXPECT_EQ(about != nullptr, c.item == kAbout);
    if (about) Click(about, IDOK);
    EXPECT_TRUE(WaitGone(about));
    EXPECT_EQ(ExitCode(pi.hProcess, 0), STILL_ACTIVE);
    EXPECT_TRUE(IconShown(tray));
    EXPECT_TRUE(TopLevel(nullptr, kProperties).empty());
  }
}

TEST_F(Zephkeys, SecondInstanceLeavesTheFirstsIconAndANewTaskbarGetsItBack) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  const PROCESS_INFORMATION& second = Start();
  HWND box = WaitForWindow("error running!!");
  ASSERT_TRUE(box);
  EXPECT_TRUE(HasStaticText(box, "You are already running Zephra Button..."));
  EXPECT_EQ(IconAtShutdown(second, [&] { Click(box, IDOK); }), 0);
  EXPECT_EQ(ExitCode(second.hProcess, 5000), 1u);
  EXPECT_TRUE(IconShown(tray));
  // What an Explorer restart does: the icon is gone, the new taskbar announces itself.
  ASSERT_TRUE(IconShown(tray, NIM_DELETE));
  ASSERT_FALSE(IconShown(tray));
  SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IconShown(tray); }, 2000));
}

TEST_F(Zephkeys, TwentyCopiesStartedAtOnceLeaveOneRunning) {
  for (int i = 0; i < 20; ++i) Start(CREATE_SUSPENDED);
  for (const PROCESS_INFORMATION& pi : m_procs) ResumeThread(pi.hThread);
  std::vector<HWND> boxes;
  EXPECT_TRUE(WaitUntil([&] { return (boxes = TopLevel(nullptr, "error running!!")).size() >= 19; }, 30000));
  const std::vector<HWND> trays = TopLevel("Zephkeys", nullptr);
  ASSERT_EQ(trays.size(), 1u);
  EXPECT_EQ(boxes.size(), 19u);
  for (HWND box : boxes) Click(box, IDOK);
  DWORD survivor = 0;
  GetWindowThreadProcessId(trays[0], &survivor);
  for (const PROCESS_INFORMATION& pi : m_procs) {
    const bool first = pi.dwProcessId == survivor;
    EXPECT_EQ(ExitCode(pi.hProcess, first ? 0 : 60000), first ? STILL_ACTIVE : 1);
  }
}

}  // namespace
}  // namespace zeph::test

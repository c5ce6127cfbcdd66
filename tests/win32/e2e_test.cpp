// zephkeys.exe as a user meets it: the program of the simulator set started as
// a child process and driven only from outside, its buttons pressed with the
// pad, its tray icon's notifications sent, its menu clicked, its boxes read.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "test_support.h"

namespace zeph::test {
namespace {

constexpr UINT kTrayNotify = WM_USER + 100;
constexpr UINT kTrayId = 9999;
constexpr const char* kKey = "Software\\Velmaris\\Zephbox";
constexpr const char* kTrayTitle = "Velmaris Zephkeys";
constexpr const char* kWelcome = "Welcome to Velmaris Zephra World";
constexpr const char* kProperties = "Properties for Zephra Button";
constexpr const char* kRunningBox = "error running!!";
constexpr const char* kLaunchBox = "WinExec() error call";

// build/win32/sim, beside this program's folder.
std::string SimDir() {
  char path[MAX_PATH] = "";
  std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  dir.resize(dir.find_last_of('\\'));
  return dir.substr(0, dir.find_last_of('\\') + 1) + "sim\\";
}

PROCESS_INFORMATION Launch(const std::string& exe, const std::string& args, HANDLE out = nullptr) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (out) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
  }
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + SimDir() + exe + "\" " + args;
  CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, out != nullptr, 0, nullptr, nullptr, &si, &pi);
  return pi;
}

// Runs the pad to its end; what it printed.
std::string Pad(const std::string& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  std::string out;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return out;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  PROCESS_INFORMATION pi = Launch("zephpad.exe", args, writeEnd);
  CloseHandle(writeEnd);
  char buf[512];
  DWORD n = 0;
  while (pi.hProcess && ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
  if (pi.hProcess) {
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(readEnd);
  return out;
}

// Top-level windows of this class and title (null: any), of one process (0: any).
struct WindowQuery {
  const char *cls, *title;
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM lp) {
  auto& q = *reinterpret_cast<WindowQuery*>(lp);
  char cls[64] = "", title[256] = "";
  DWORD pid = 0;
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  GetWindowThreadProcessId(hwnd, &pid);
  if ((!q.cls || !lstrcmpA(cls, q.cls)) && (!q.title || !lstrcmpA(title, q.title)) && (!q.pid || pid == q.pid)) {
    q.found.push_back(hwnd);
  }
  return TRUE;
}

std::vector<HWND> TopLevel(const char* cls, const char* title, DWORD pid = 0) {
  WindowQuery q{cls, title, pid, {}};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

HWND Shown(const char* cls, const char* title, DWORD pid = 0, int timeoutMs = 5000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopLevel(cls, title, pid)) {
          if (IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

// Asks the shell about the program's icon, as any process may.
bool IconShown(HWND owner, DWORD message = NIM_MODIFY) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = owner;
  icon.uID = kTrayId;
  return Shell_NotifyIconA(message, &icon) != FALSE;
}

// STILL_ACTIVE when the process has not ended within the time.
DWORD ExitCode(HANDLE process, int timeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  return code;
}

// A real left click at a screen point.
void ClickAt(int x, int y) {
  const int sw = GetSystemMetrics(SM_CXSCREEN) - 1, sh = GetSystemMetrics(SM_CYSCREEN) - 1;
  INPUT in[3] = {};
  const DWORD flags[3] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
  for (int i = 0; i < 3; ++i) {
    in[i].type = INPUT_MOUSE;
    in[i].mi.dx = x * 65535 / sw;
    in[i].mi.dy = y * 65535 / sh;
    in[i].mi.dwFlags = flags[i] | MOUSEEVENTF_ABSOLUTE;
  }
  SendInput(3, in, sizeof(INPUT));
}

// Runs end, which makes the program quit, as its debugger: the program stops at
// each debug event, and the first one after its welcome dialog has gone while
// its hidden window is still there (it lets its port library go then) tells
// whether its icon was still in the tray on its way out. -1: no such stop.
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

void PutValue(const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

class Zephkeys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string out = Pad("show"), intro = "Simulated chipset in ";
    const size_t at = out.find(intro);
    if (at != std::string::npos) s_stateFile = out.substr(at + intro.size(), out.find('\n', at) - at - intro.size());
  }

  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    // A new state file is a SiS chipset with no press waiting.
    ASSERT_FALSE(s_stateFile.empty());
    DeleteFileA(s_stateFile.c_str());
    ASSERT_EQ(GetFileAttributesA(s_stateFile.c_str()), INVALID_FILE_ATTRIBUTES);
  }

  void TearDown() override {
    for (const PROCESS_INFORMATION& pi : m_procs) {
      const std::vector<HWND> tray = TopLevel("Zephkeys", nullptr, pi.dwProcessId);
      if (!tray.empty()) PostMessageA(tray[0], WM_COMMAND, 203, 0);
      if (ExitCode(pi.hProcess, tray.empty() ? 0 : 5000) == STILL_ACTIVE) TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
  }

  const PROCESS_INFORMATION& Start() {
    m_procs.push_back(Launch("zephkeys.exe", ""));
    return m_procs.back();
  }

  // The program's hidden window once its icon is in the tray and its welcome
  // dialog has hidden itself.
  HWND Ready(const PROCESS_INFORMATION& pi) {
    HWND tray = nullptr;
    WaitUntil(
        [&] {
          const std::vector<HWND> w = TopLevel("Zephkeys", kTrayTitle, pi.dwProcessId);
          const std::vector<HWND> welcome = TopLevel(nullptr, kWelcome, pi.dwProcessId);
          tray = w.size() == 1 && welcome.size() == 1 && !IsWindowVisible(welcome[0]) && IconShown(w[0]) ? w[0] : nullptr;
          return tray != nullptr;
        },
        10000);
    EXPECT_TRUE(tray && !IsWindowVisible(tray));
    return tray;
  }

  static std::string s_stateFile;
  std::vector<PROCESS_INFORMATION> m_procs;
};
std::string Zephkeys::s_stateFile;


TEST_F(Zephkeys, FirstTickStoresEverySlotAs256ByteText) {
  const std::string dword("\1\0\0\0", 4), unterminated(400, 'x');
  const char* browser = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
  const char* mailer = "C:\\Program Files\\Outlook Express\\MSIMN.EXE";
  struct Slot {
    DWORD type;  // 0: no value before start
    std::string before, after;
  };
  const std::vector<std::vector<Slot>> runs = {
      {{0, "", browser}, {0, "", "www.yahoo.com"}, {0, "", ""}, {0, "", mailer}},
      {{REG_DWORD, dword, browser},
       {REG_SZ, unterminated, unterminated.substr(0, 255)},
       {REG_SZ, std::string("a b", 4), "a b"},
       {REG_DWORD, dword, mailer}},
  };
  for (const auto& run : runs) {
    const char* names[] = {"S1", "S2", "S3", "S4"};
    for (int i = 0; i < 4; ++i) {
      if (run[i].type) PutValue(names[i], run[i].type, run[i].before);
    }
    const PROCESS_INFORMATION& pi = Start();
    ASSERT_TRUE(Ready(pi));
    WaitUntil([&] { return StoredSlot("S1") == run[0].after && StoredSlot("S4") == run[3].after; });
    for (int i = 0; i < 4; ++i) EXPECT_EQ(StoredSlot(names[i]), run[i].after) << names[i];
    TearDown();
    m_procs.clear();
  }
}

TEST_F(Zephkeys, EachButtonOnBothChipsetsStartsItsCommandLine) {
  const std::string browser = "C:\\Zeph Browser\\browser.exe", mailer = "C:\\ZephMail\\mail.exe";
  ASSERT_TRUE(InstallMarker(browser));
  ASSERT_TRUE(InstallMarker(mailer));
  PutSlot("S1", browser);
  PutSlot("S2", "www.one.example");
  PutSlot("S3", "two.example/a?b=c");
  PutSlot("S4", mailer);
  ASSERT_TRUE(Ready(Start()));
  const std::string quoted = "\"" + browser + "\"";
  const std::string expected[] = {quoted, mailer, quoted + " www.one.example", quoted + " two.example/a?b=c"};
  for (const char* chipset : {"sis", "other"}) {
    Pad(std::string("chipset ") + chipset);
    for (int n = 1; n <= 4; ++n) {
      DeleteFileA(kMarkerLog);
      Pad("press " + std::to_string(n));
      EXPECT_TRUE(WaitUntil([&] { return MarkerLog() == expected[n - 1] + "\n"; }))
          << chipset << " button " << n << " started:\n" << MarkerLog();
    }
  }
}

TEST_F(Zephkeys, MissingProgramIsReportedInOneBox) {
  PutSlot("S1", "C:\\Nowhere\\missing.exe");
  const PROCESS_INFORMATION& pi = Start();
  ASSERT_TRUE(Ready(pi));
  Pad("press 1");
  HWND box = Shown(nullptr, kLaunchBox, pi.dwProcessId);
  ASSERT_TRUE(box);
  EXPECT_TRUE(HasStaticText(box, "The specified file was not found.") ||
              HasStaticText(box, "The specified path was not found."));
  Pad("press 1");
  EXPECT_TRUE(WaitUntil([] { return Pad("show").find("press waiting: none") != std::string::npos; }));
  EXPECT_FALSE(WaitUntil([] { return CountTopLevel(kLaunchBox) > 1; }, 1500));
  Click(box, IDOK);
  EXPECT_TRUE(WaitGone(box));
}

TEST_F(Zephkeys, DoubleClickAndSettingsOpenOnePropertiesWindow) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  struct Notice {
    UINT message;
    WPARAM wp;
    LPARAM lp;
  };
  const Notice doubleClick = {kTrayNotify, kTrayId, WM_LBUTTONDBLCLK}, settings = {WM_COMMAND, 201, 0};
  for (const Notice& first : {doubleClick, settings}) {
    PostMessageA(tray, first.message, first.wp, first.lp);
    HWND props = Shown(nullptr, kProperties);
    ASSERT_TRUE(props);
    // Refused at once; a second dialog would keep the call waiting.
    for (const Notice& again : {doubleClick, settings}) {
      SendMessageTimeoutA(tray, again.message, again.wp, again.lp, SMTO_NORMAL, 1000, nullptr);
    }
    EXPECT_EQ(CountTopLevel(kProperties), 1);
    PostMessageA(props, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitGone(props));
  }
}

TEST_F(Zephkeys, TrayMenuOpensAtTheCursorAndRunsItsChoice) {
  const PROCESS_INFORMATION& pi = Start();
  HWND tray = Ready(pi);
  ASSERT_TRUE(tray);
  const int heights[] = {40, 40, 41, 40};
  struct Choice {
    int item;
    POINT cursor;
  };
  for (const Choice& c : {Choice{2, {300, 200}}, Choice{1, {520, 400}}, Choice{3, {700, 300}}}) {
    SetCursorPos(c.cursor.x, c.cursor.y);
    PostMessageA(tray, kTrayNotify, kTrayId, WM_RBUTTONDOWN);
    HWND menu = Shown("#32768", nullptr, pi.dwProcessId);
    ASSERT_TRUE(menu);
    // Four pictures 115 wide, 161 high in all, and the menu's own margins.
    RECT rc;
    GetWindowRect(menu, &rc);
    EXPECT_NEAR((rc.left + rc.right) / 2, c.cursor.x, 1);
    EXPECT_EQ(rc.top, c.cursor.y);
    EXPECT_GE(rc.right - rc.left, 115);
    EXPECT_LT(rc.right - rc.left, 2 * 115);
    EXPECT_GE(rc.bottom - rc.top, 161);
    EXPECT_LT(rc.bottom - rc.top, 161 + 40);
    int y = rc.top + (rc.bottom - rc.top - 161) / 2 + heights[c.item] / 2;
    for (int i = 0; i < c.item; ++i) y += heights[i];
    const auto choose = [&] { ClickAt((rc.left + rc.right) / 2, y); };
    if (c.item == 3) {
      EXPECT_EQ(IconAtShutdown(pi, choose), 0);
      EXPECT_EQ(ExitCode(pi.hProcess, 5000), 0u);
      continue;
    }
    choose();
    EXPECT_TRUE(WaitGone(menu));
    if (c.item == 2) {
      EXPECT_EQ(ExitCode(pi.hProcess, 1000), STILL_ACTIVE);
      EXPECT_TRUE(IconShown(tray));
      EXPECT_EQ(CountTopLevel("About Zephra Button") + CountTopLevel(kProperties), 0);
    } else {
      HWND about = Shown(nullptr, "About Zephra Button", pi.dwProcessId);
      ASSERT_TRUE(about);
      Click(about, IDOK);
      ASSERT_TRUE(WaitGone(about));
    }
  }
}

TEST_F(Zephkeys, SecondInstanceShowsItsBoxAndLeavesTheFirstsIcon) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  const PROCESS_INFORMATION& second = Start();
  HWND box = Shown(nullptr, kRunningBox, second.dwProcessId);
  ASSERT_TRUE(box);
  EXPECT_TRUE(HasStaticText(box, "You are already running Zephra Button..."));
  EXPECT_EQ(IconAtShutdown(second, [&] { Click(box, IDOK); }), 0);
  EXPECT_EQ(ExitCode(second.hProcess, 5000), 1u);
  EXPECT_TRUE(IconShown(tray));
}

TEST_F(Zephkeys, TwentyCopiesStartedAtOnceLeaveOneRunning) {
  for (int i = 0; i < 20; ++i) Start();
  std::vector<HWND> boxes;
  EXPECT_TRUE(WaitUntil([&] { return (boxes = TopLevel(nullptr, kRunningBox)).size() >= 19; }, 30000));
  const std::vector<HWND> trays = TopLevel("Zephkeys", nullptr);
  ASSERT_EQ(trays.size(), 1u);
  EXPECT_EQ(boxes.size(), 19u);
  for (HWND box : boxes) Click(box, IDOK);
  DWORD survivor = 0;
  GetWindowThreadProcessId(trays[0], &survivor);
  for (const PROCESS_INFORMATION& pi : m_procs) {
    EXPECT_EQ(ExitCode(pi.hProcess, pi.dwProcessId == survivor ? 0 : 10000), pi.dwProcessId == survivor ? STILL_ACTIVE : 1);
  }
}

TEST_F(Zephkeys, NewTaskbarGetsTheIconBack) {
  HWND tray = Ready(Start());
  ASSERT_TRUE(tray);
  ASSERT_TRUE(IconShown(tray, NIM_DELETE));
  ASSERT_FALSE(IconShown(tray));
  SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IconShown(tray); }, 2000));
}

}  // namespace
}  // namespace zeph::test

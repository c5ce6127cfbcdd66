// The installer as a user (or an administrator's script) runs it: silently and
// page by page, in a fresh prefix, then the uninstaller. ctest passes the setup in
// ZEPH_SETUP, the build tree it packs in ZEPH_BUILD, the project version in
// ZEPH_VERSION and, for the 64-bit prefix, the 32-bit setup in ZEPH_OTHER_SETUP
// (Unix paths). With ZEPH_SHOTS set to a Unix folder, the walk through the pages
// leaves a screenshot of each there.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

const std::string kDir = "C:\\Program Files\\Velmaris\\Zephra Button";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZephraButton";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kSettingsKey = "Software\\Velmaris\\Zephbox";
const char* const kSessionKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char* const kPadTitle = "Zephra Button Pad";

std::string Env(const char* name) {
  char buf[MAX_PATH] = "";
  GetEnvironmentVariableA(name, buf, sizeof buf);
  std::string value = buf;
  if (!value.empty() && value[0] == '/') {  // a Unix path: Wine's Z: drive
    for (char& c : value) c = c == '/' ? '\\' : c;
    value = "Z:" + value;
  }
  return value;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; !condition(); waited += 100) {
    if (waited >= timeoutMs) return false;
    Sleep(100);
  }
  return true;
}

// Runs a command line to its end and, with kWholeJob, every process it starts
// too (the uninstaller hands over to a copy of itself). Returns its exit code,
// or at once STILL_ACTIVE with kNoWait (and the process in *process).
enum Wait { kProcess, kWholeJob, kNoWait };
DWORD RunToEnd(std::string cmd, Wait wait = kProcess, HANDLE* process = nullptr) {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
    return GetLastError() | 0x80000000u;
  }
  AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  DWORD code = STILL_ACTIVE;
  if (wait != kNoWait && WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  WaitUntil([&] {
    if (wait != kWholeJob) return true;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr);
    return info.ActiveProcesses == 0;
  }, 60000);
  CloseHandle(pi.hThread);
  if (process) *process = pi.hProcess;
  else CloseHandle(pi.hProcess);
  CloseHandle(job);
  return code;
}

DWORD RunSetup(const std::string& options = "") { return RunToEnd("\"" + Env("ZEPH_SETUP") + "\" /S " + options); }
DWORD Uninstall(const std::string& dir = kDir) { return RunToEnd("\"" + dir + "\\uninstall.exe\" /S", kWholeJob); }

// The exit code of a process that should end by itself; STILL_ACTIVE if it did not.
DWORD EndOf(HANDLE process, int timeoutMs = 10000) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string DriverFile() {
  char dir[MAX_PATH] = "";
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\drivers\\zephio.sys";
}

// Our files once installed in folder dir, and the build's file each one is.
struct OurFile {
  std::string installed, built;
};
std::vector<OurFile> OurFiles(const std::string& dir = kDir, bool pad = true) {
  const std::string build = Env("ZEPH_BUILD");
  std::vector<OurFile> files = {{dir + "\\zephkeys.exe", build + "\\bin\\zephkeys.exe"},
                                {dir + "\\PortIO.dll", build + "\\bin\\PortIO.dll"},
                                {dir + "\\zephpad.exe", build + "\\sim\\zephpad.exe"},
                                {dir + "\\zephpad.com", build + "\\sim\\zephpad.com"},
                                {DriverFile(), build + "\\bin\\zephio.sys"}};
  if (pad) {
    files.push_back({dir + "\\Simulator\\zephkeys.exe", build + "\\bin\\zephkeys.exe"});
    files.push_back({dir + "\\Simulator\\PortIO.dll", build + "\\sim\\PortIO.dll"});
    files.push_back({dir + "\\Simulator\\zephpad.exe", build + "\\sim\\zephpad.exe"});
    files.push_back({dir + "\\Simulator\\zephpad.com", build + "\\sim\\zephpad.com"});
  }
  return files;
}

// A string value, "<missing>" when absent; HKLM in its 64-bit view where there is one.
std::string RegText(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return "<missing>";
  char buf[1024] = "";
  DWORD size = sizeof buf, type = 0;
  const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_SZ ? buf : "<missing>";
}

DWORD RegNumber(HKEY root, const char* path, const char* name) {
  HKEY key;
  DWORD value = 0xFFFFFFFF, size = sizeof value;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return value;
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return value;
}

void PutText(HKEY root, const char* path, const char* name, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr), 0);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// What Windows is to rename or delete at its next start outside the temporary
// folder, lower case, one "from -> to" a line ("to" empty for a delete).
std::string PendingAtRestart() {
  HKEY key;
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &size)) size = 0;
  RegCloseKey(key);
  // Pairs of names, the second one empty for a delete: read by the value's size.
  std::vector<std::string> names;
  for (size_t at = 0; at + 1 < size;) {
    names.push_back(Lower(data.c_str() + at));
    at += names.back().size() + 1;
  }
  // The uninstaller's temporary copy of itself goes at the restart too: not ours.
  std::string lines;
  for (size_t i = 0; i + 1 < names.size(); i += 2) {
    if (names[i].find("\\temp\\") == std::string::npos) lines += names[i] + " -> " + names[i + 1] + "\n";
  }
  return lines;
}
void ForgetPending() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, "PendingFileRenameOperations");
  RegCloseKey(key);
}

std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  std::string data(GetFileVersionInfoSizeA(path.c_str(), &ignored), '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (data.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), &data[0]) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len)) {
    return "<none>";
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

// A shortcut names its target, NUL-terminated, in its link information.
bool LinksTo(const std::string& link, const std::string& target) {
  return Contents(link).find(target + '\0') != std::string::npos;
}

std::string StartMenuFolder() {
  char programs[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs);
  return std::string(programs) + "\\Zephra Button";
}

struct Service {
  DWORD type = 0, start = 0, state = 0;
  std::string path = "<missing>";
};
Service DriverService() {
  Service s;
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE svc = scm ? OpenServiceA(scm, "ZephIO", SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS) : nullptr;
  alignas(8) char buf[8192];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf);
  DWORD needed = 0;
  SERVICE_STATUS status = {};
  if (svc && QueryServiceConfigA(svc, config, sizeof buf, &needed) && QueryServiceStatus(svc, &status)) {
    s = {config->dwServiceType, config->dwStartType, status.dwCurrentState, config->lpBinaryPathName};
  }
  if (svc) CloseServiceHandle(svc);
  if (scm) CloseServiceHandle(scm);
  return s;
}

// The running program's tray window, the pad's window, and the file a window's process runs.
HWND ProgramWindow() { return FindWindowA("Zephkeys", nullptr); }
HWND PadWindow() { return FindWindowA("#32770", kPadTitle); }
std::string ImageOf(HWND hwnd, HANDLE* process = nullptr) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HANDLE h = OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */ | SYNCHRONIZE, FALSE, pid);
  // Vista's call, which also names a 64-bit process to this 32-bit one.
  using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
  const auto query = reinterpret_cast<QueryImageName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
  char path[MAX_PATH] = "";
  DWORD size = MAX_PATH;
  if (!h || !query || !query(h, 0, path, &size)) path[0] = 0;
  if (process) *process = h;
  else if (h) CloseHandle(h);
  return path;
}

// Starts a program and waits for its window; returns its process, or null.
HANDLE StartAndWait(const std::string& file, const std::function<HWND()>& window) {
  HANDLE process = nullptr;
  RunToEnd("\"" + file + "\"", kNoWait, &process);
  if (!WaitUntil([&] { return window() != nullptr; }, 10000)) {
    if (process) CloseHandle(process);
    return nullptr;
  }
  return process;
}

// Keeps a file open as a virus scanner or an editor might: readable, but
// neither replaceable nor removable.
HANDLE Hold(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("ZEPH_SETUP").empty());
    ForgetPending();
  }
};

// ---------------------------------------------------------------------------
// Page by page, as a user clicks through the setup and the uninstaller.

struct Control {
  HWND hwnd;
  std::string cls, text;
  int id;
  LONG style;
};

BOOL CALLBACK AddControl(HWND hwnd, LPARAM param) {
  if (!IsWindowVisible(hwnd)) return TRUE;
  char cls[64] = "", text[2048] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  reinterpret_cast<std::vector<Control>*>(param)->push_back(
      {hwnd, cls, text, GetDlgCtrlID(hwnd), GetWindowLongA(hwnd, GWL_STYLE)});
  return TRUE;
}

// The visible controls of a window and its pages, in their Z order.
std::vector<Control> Controls(HWND top) {
  std::vector<Control> all;
  EnumChildWindows(top, AddControl, reinterpret_cast<LPARAM>(&all));
  return all;
}

// The first visible top-level window titled "Zephra Button..." (not the pad) that match accepts.
struct Search {
  std::function<bool(HWND, const std::string&)> match;
  HWND found;
};
BOOL CALLBACK TryWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  char title[256] = "";
  GetWindowTextA(hwnd, title, sizeof title);
  const std::string t = title;
  if (!IsWindowVisible(hwnd) || t.rfind("Zephra Button", 0) != 0 || t == kPadTitle || !search->match(hwnd, t)) {
    return TRUE;
  }
  search->found = hwnd;
  return FALSE;
}
HWND OurWindow(const std::function<bool(HWND, const std::string&)>& match) {
  Search search = {match, nullptr};
  EnumWindows(TryWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string AllText(const std::vector<Control>& controls) {
  std::string all;
  for (const auto& c : controls) all += c.text + "\n";
  return all;
}

// The font a wizard page draws a control's text in: the dialog font, MS Shell
// Dlg 8 pt, bold for the header's title (1037) and 12 pt bold for the welcome
// and finish pages' title (1201). The control's own font belongs to the other
// process and cannot be asked for here.
HFONT PageFont(const Control& c) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const bool welcomeTitle = c.id == 1201, headerTitle = c.id == 1037;
  return CreateFontA(-MulDiv(welcomeTitle ? 12 : 8, dpi, 72), 0, 0, 0, welcomeTitle || headerTitle ? FW_BOLD : FW_NORMAL,
                     0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
}

// The text of a control needs more room than it has: the height its words take
// in the control's width. Check box, radio button, push button and group box
// texts are one line.
std::string TextCut(const Control& c) {
  if (c.text.empty()) return "";
  const bool isStatic = Lower(c.cls) == "static";
  const bool isButton = Lower(c.cls) == "button";
  if (!isStatic && !isButton) return "";
  const LONG type = c.style & (isStatic ? SS_TYPEMASK : BS_TYPEMASK);
  if (isStatic && type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP) return "";
  HDC dc = GetDC(nullptr);
  HFONT font = PageFont(c);
  HGDIOBJ old = SelectObject(dc, font);
  RECT client;
  GetClientRect(c.hwnd, &client);
  int width = client.right, height = client.bottom;
  UINT flags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
  if (isButton) {
    if (type == BS_GROUPBOX) width -= 2 * GetSystemMetrics(SM_CXEDGE) + 12;
    else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) width -= 2 * GetSystemMetrics(SM_CXEDGE) + 4;
    else width -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    flags = DT_CALCRECT | DT_SINGLELINE;
  }
  if (type == SS_LEFTNOWORDWRAP) flags = DT_CALCRECT | DT_SINGLELINE;
  RECT need = {0, 0, width, 0};
  DrawTextA(dc, c.text.c_str(), -1, &need, flags);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  if (isButton && type == BS_GROUPBOX) height = need.bottom;  // only its caption line counts
  if (need.right <= width && need.bottom <= height) return "";
  return "\"" + c.text.substr(0, 40) + "\" (" + c.cls + " " + std::to_string(c.id) + ") needs " +
         std::to_string(need.right) + "x" + std::to_string(need.bottom) + ", has " + std::to_string(width) + "x" +
         std::to_string(height);
}

// A control with text that reaches beyond the window that holds it is cut at
// that edge (the header's plain lines and background may).
std::string OutsideItsParent(const Control& c) {
  if (c.text.empty()) return "";
  HWND parent = GetParent(c.hwnd);
  RECT box, area;
  GetWindowRect(c.hwnd, &box);
  GetClientRect(parent, &area);
  MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
  if (box.left >= area.left && box.top >= area.top && box.right <= area.right && box.bottom <= area.bottom) return "";
  return "\"" + c.text.substr(0, 40) + "\" (" + c.cls + " " + std::to_string(c.id) + ") reaches past its window";
}

void Shot(const std::string& name) {
  char folder[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("ZEPH_SHOTS", folder, MAX_PATH)) return;
  // Wine starts a Unix program from its path on the Z: drive.
  RunToEnd("Z:\\usr\\bin\\import -window root " + std::string(folder) + "/" + name + ".png");
  Sleep(1500);  // the Unix program is not waited for
}

// The setup's or the uninstaller's wizard window (not the pad's): the one with a page in it.
HWND WizardWindow() {
  return OurWindow(
      [](HWND hwnd, const std::string&) { return FindWindowExA(hwnd, nullptr, "#32770", nullptr) != nullptr; });
}

// A message box of the setup's or the uninstaller's: its text, and it is closed.
std::string CloseMessageBox() {
  const HWND box = OurWindow([](HWND hwnd, const std::string&) {
    return GetDlgItem(hwnd, 0xFFFF) != nullptr && FindWindowExA(hwnd, nullptr, "#32770", nullptr) == nullptr;
  });
  if (!box) return "";
  char text[1024] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return text;
}

// Walks the pages of the setup or uninstaller started as cmd, clicking Next (id 1)
// on each once it is enabled. Returns each page's texts; checks every page's
// controls fit, and the exit code. At the finish page, "Start Zephra Button now"
// is left off, and the restart for later.
std::vector<std::string> WalkPages(const std::string& cmd, const std::string& shotPrefix, DWORD exitCode) {
  std::vector<std::string> pages;
  HANDLE process = nullptr;
  RunToEnd(cmd, kNoWait, &process);
  EXPECT_TRUE(WaitUntil([] { return WizardWindow() != nullptr; }, 20000)) << cmd;
  std::string last;
  bool busyShot = false;
  for (int step = 0; step < 12; ++step) {
    HWND top = nullptr;
    std::string text;
    std::vector<Control> controls;
    // The next page: different texts, and Next enabled (the file copy page enables it when done).
    const bool ready = WaitUntil([&] {
      top = WizardWindow();
      if (!top) return true;
      const std::string box = CloseMessageBox();
      EXPECT_EQ(box, "") << "a message box";
      // A page makes its controls one by one: it is there when two looks agree.
      const std::string before = AllText(Controls(top));
      Sleep(300);
      controls = Controls(top);
      text = AllText(controls);
      const bool nextEnabled = IsWindowEnabled(GetDlgItem(top, IDOK)) != FALSE;
      // The file copy page moves on by itself: only a picture of it while it works.
      if (!nextEnabled && text != last && !busyShot) {
        busyShot = true;
        Shot(shotPrefix + std::to_string(pages.size() + 1) + "-working");
      }
      return text == before && text != last && nextEnabled;
    }, 30000);
    if (!top) break;
    EXPECT_TRUE(ready) << "stuck at:\n" << text;
    if (!ready) break;
    last = text;
    pages.push_back(text);
    Shot(shotPrefix + std::to_string(pages.size()));
    // The components page describes the component under the mouse: each description must fit too.
    for (const auto& c : controls) {
      if (c.cls != "SysTreeView32") continue;
      EXPECT_EQ(GetWindowLongA(c.hwnd, GWL_STYLE) & WS_HSCROLL, 0) << "a component's name is wider than its list";
      const int row = static_cast<int>(SendMessageA(c.hwnd, TVM_GETITEMHEIGHT, 0, 0));
      const int items = static_cast<int>(SendMessageA(c.hwnd, TVM_GETCOUNT, 0, 0));
      for (int i = items - 1; i >= 0; --i) {  // the page reports a change of item only
        // The page asks where the mouse is, as well as being told.
        POINT at = {40, row * i + row / 2};
        ClientToScreen(c.hwnd, &at);
        SetCursorPos(at.x, at.y);
        PostMessageA(c.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(40, row * i + row / 2));
        Sleep(300);
        for (const auto& d : Controls(top)) {
          if (d.id != 1043) continue;
          EXPECT_EQ(TextCut(d), "") << "component " << i;
          pages.back() += d.text + "\n";
          Shot(shotPrefix + std::to_string(pages.size()) + "-component" + std::to_string(i));
        }
      }
    }
    for (const auto& c : controls) {
      const std::string cut = TextCut(c);
      EXPECT_EQ(cut, "") << "page " << pages.size() << " of " << cmd;
      EXPECT_EQ(OutsideItsParent(c), "") << "page " << pages.size() << " of " << cmd;
    }
    for (const auto& c : controls) {
      // No program started, no restart of the machine.
      if (c.text == "Start Zephra Button now" || c.text == "Reboot now") SendMessageA(c.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
      if (c.text == "I want to manually reboot later") SendMessageA(c.hwnd, BM_SETCHECK, BST_CHECKED, 0);
    }
    HWND next = GetDlgItem(top, IDOK);
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(next));
  }
  EXPECT_EQ(EndOf(process, 30000), exitCode) << cmd;
  return pages;
}

bool AnyHas(const std::vector<std::string>& pages, const std::string& text) {
  return std::any_of(pages.begin(), pages.end(), [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

// First: a setup whose driver does not start stops at a message box, and under
// 64-bit Wine the driver host dies at the installed program's first port
// instruction (it emulates them only for 32-bit drivers).
TEST_F(Installer, EveryPageFitsAndAnUpgradeKeepsItsFolder) {
  const std::string setup = "\"" + Env("ZEPH_SETUP") + "\"";
  const std::string uninstall = "\"" + kDir + "\\uninstall.exe\"";
  struct Walk {
    const char* what;
    std::string cmd;
    std::vector<std::string> held;  // files in the folder something else keeps open meanwhile
    std::vector<std::string> shown, notShown;
    DWORD exitCode;
  };
  const Walk walks[] = {
      {"first install", setup, {},
       {"Choose what to install", "Destination Folder", "Start Zephra Button now", "port driver.", "logs on",
        "launch buttons"},
       {}, 0},
      {"upgrade: no folder page", setup, {}, {"Setup upgrades Zephra Button in its folder, " + kDir},
       {"Destination Folder", "were in use"}, 0},
      {"upgrade with a file held: the last page names it", setup, {"\\Simulator\\PortIO.dll"},
       {"were in use and are replaced when Windows restarts:\r\n" + kDir + "\\Simulator\\PortIO.dll"}, {}, 3010},
      {"uninstall with files held: the last page names them", uninstall,
       {"\\Simulator\\PortIO.dll", "\\zephpad.exe", "\\PortIO.dll"},
       {kDir + "\\Simulator\\PortIO.dll", kDir + "\\zephpad.exe", kDir + "\\PortIO.dll"},
       {"its start at logon are gone"}, 0},  // the uninstaller's first process hands over at once
  };
  int n = 0;
  for (const auto& w : walks) {
    SCOPED_TRACE(w.what);
    std::vector<HANDLE> held;
    for (const auto& f : w.held) held.push_back(Hold(kDir + f));
    const auto pages = WalkPages(w.cmd, "walk" + std::to_string(++n) + "-", w.exitCode);
    for (HANDLE h : held) CloseHandle(h);
    for (const auto& s : w.shown) EXPECT_TRUE(AnyHas(pages, s)) << s;
    for (const auto& s : w.notShown) EXPECT_FALSE(AnyHas(pages, s)) << s;
    if (n == 2) {
      EXPECT_EQ(DriverService().state, static_cast<DWORD>(SERVICE_RUNNING));
    }
  }
  // What the held files leave behind until the restart.
  ForgetPending();
  for (const char* f : {"\\Simulator\\PortIO.dll", "\\zephpad.exe", "\\PortIO.dll"}) DeleteFileA((kDir + f).c_str());
  RemoveDirectoryA((kDir + "\\Simulator").c_str());
  RemoveDirectoryA(kDir.c_str());
  RemoveDirectoryA("C:\\Program Files\\Velmaris");
  EXPECT_FALSE(Exists(kDir));
}

// ---------------------------------------------------------------------------

TEST_F(Installer, InstallsStartsAndUninstallsLeavingOnlyTheSettings) {
  PutText(HKEY_CURRENT_USER, kSettingsKey, "S1", "C:\\my\\browser.exe");
  // An earlier version kept start at logon in the installing user's own Run key.
  PutText(HKEY_CURRENT_USER, kRunKey, "Zephra Button", "\"" + kDir + "\\zephkeys.exe\"");
  ASSERT_EQ(RunSetup(), 0u);

  // The build's files, each in its place: the hardware library beside the
  // program, the simulator's beside the pad, the driver where Windows keeps drivers.
  for (const auto& f : OurFiles()) {
    const std::string installed = Contents(f.installed);
    EXPECT_TRUE(!installed.empty() && installed == Contents(f.built)) << f.installed;
  }
  EXPECT_TRUE(Exists(kDir + "\\uninstall.exe"));
  EXPECT_FALSE(Exists(kDir + "\\zephio.sys"));

  const std::string version = Env("ZEPH_VERSION");
  EXPECT_EQ(FileVersion(kDir + "\\zephkeys.exe"), version);
  EXPECT_EQ(FileVersion(Env("ZEPH_SETUP")), version);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zephra Button");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + kDir + "\\uninstall.exe\"");
  // Start at logon for everyone on the machine, and no longer for the user alone.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Zephra Button"), "\"" + kDir + "\\zephkeys.exe\"");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");

  const Service driver = DriverService();
  EXPECT_EQ(driver.type, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
  EXPECT_EQ(driver.start, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(driver.state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Lower(driver.path), "\\systemroot\\system32\\drivers\\zephio.sys");

  const std::string menu = StartMenuFolder();
  const struct { const char* link; const char* target; } links[] = {
      {"Zephra Button.lnk", "\\zephkeys.exe"},
      {"Zephra Button (simulated buttons).lnk", "\\Simulator\\zephkeys.exe"},
      {"Launch-button pad.lnk", "\\Simulator\\zephpad.exe"},
      {"Uninstall Zephra Button.lnk", "\\uninstall.exe"}};
  for (const auto& l : links) EXPECT_TRUE(LinksTo(menu + "\\" + l.link, kDir + l.target)) << l.link;

  // The program runs from its place; the installed pad presses a simulated button.
  HANDLE program = StartAndWait(kDir + "\\zephkeys.exe", ProgramWindow);
  ASSERT_NE(program, nullptr);
  EXPECT_STRCASEEQ(ImageOf(ProgramWindow()).c_str(), (kDir + "\\zephkeys.exe").c_str());
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\Simulator\\zephpad.exe\" press 1"), 0u);
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\zephpad.exe\" show"), 0u);  // through the driver
  char state[MAX_PATH];
  ExpandEnvironmentStringsA("%LOCALAPPDATA%\\ZephraSimChipset.dat", state, MAX_PATH);
  EXPECT_TRUE(Exists(state));
  // The pad open too: the uninstaller closes it as well.
  HANDLE pad = StartAndWait(kDir + "\\Simulator\\zephpad.exe", PadWindow);
  ASSERT_NE(pad, nullptr);
  PutText(HKEY_CURRENT_USER, kRunKey, "Zephra Button", "\"" + kDir + "\\zephkeys.exe\"");

  // The uninstaller ends the program through its Exit command and takes
  // everything away but the button settings.
  ASSERT_EQ(Uninstall(), 0u);
  EXPECT_EQ(EndOf(program, 5000), 0u);
  EXPECT_EQ(EndOf(pad, 5000), 0u);
  EXPECT_FALSE(Exists(kDir));
  EXPECT_FALSE(Exists("C:\\Program Files\\Velmaris"));
  EXPECT_FALSE(Exists(DriverFile()));
  EXPECT_FALSE(Exists(menu));
  EXPECT_FALSE(Exists(state));
  EXPECT_EQ(PendingAtRestart(), "");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Zephra Button"), "<missing>");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<missing>");
  EXPECT_EQ(DriverService().path, "<missing>");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "S1"), "C:\\my\\browser.exe");
}

// ---------------------------------------------------------------------------
// Over an installed copy: each case installs, prepares what an earlier install
// and the user leave behind, upgrades silently, checks, and uninstalls.

enum Running { kNothing, kSimulatorCopy, kCopyElsewhere, kPadOpen };
struct UpgradeCase {
  const char* what;
  const char* firstOptions;
  bool earlierUserValue;  // an earlier version's start at logon in the user's Run key
  Running running;
  const char* options;    // of the upgrade
  bool autostart, pad;    // afterwards
  const char* restarted;  // the program running afterwards, in the installed folder; "" none
};
const UpgradeCase kUpgrades[] = {
    {"the simulator's copy runs again; no start at logon stays so", "/NOAUTOSTART", false, kSimulatorCopy, "", false,
     true, "\\Simulator\\zephkeys.exe"},
    {"the open pad is closed; the user's start at logon moves to the machine", "/NOAUTOSTART", true, kPadOpen, "", true,
     true, ""},
    // Last: it starts the installed copy, which reads the real ports.
    {"no pad stays so; /D= is ignored; a copy elsewhere gives way to ours", "/NOPAD", false, kCopyElsewhere,
     "/D=C:\\Elsewhere", true, false, "\\zephkeys.exe"},
};

TEST_F(Installer, UpgradesKeepTheFolderAndTheChoicesAndRestartTheInstalledCopy) {
  const std::string build = Env("ZEPH_BUILD");
  const std::string elsewhere = "C:\\Old copy";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  CopyFileA((build + "\\bin\\zephkeys.exe").c_str(), (elsewhere + "\\zephkeys.exe").c_str(), FALSE);
  CopyFileA((build + "\\sim\\PortIO.dll").c_str(), (elsewhere + "\\PortIO.dll").c_str(), FALSE);
  PutText(HKEY_CURRENT_USER, kSettingsKey, "S2", "www.example.org");

  for (const auto& c : kUpgrades) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(RunSetup(c.firstOptions), 0u);
    if (c.earlierUserValue) PutText(HKEY_CURRENT_USER, kRunKey, "Zephra Button", "\"" + kDir + "\\zephkeys.exe\"");
    HANDLE before = nullptr;
    if (c.running == kSimulatorCopy) before = StartAndWait(kDir + "\\Simulator\\zephkeys.exe", ProgramWindow);
    if (c.running == kCopyElsewhere) before = StartAndWait(elsewhere + "\\zephkeys.exe", ProgramWindow);
    if (c.running == kPadOpen) before = StartAndWait(kDir + "\\Simulator\\zephpad.exe", PadWindow);
    if (c.running != kNothing) {
      ASSERT_NE(before, nullptr);
    }
    const HWND first = c.running == kPadOpen ? PadWindow() : ProgramWindow();

    ASSERT_EQ(RunSetup(c.options), 0u);
    if (before) {
      EXPECT_EQ(EndOf(before), 0u);  // ended by its own Exit or Close
    }
    if (*c.restarted) {
      ASSERT_TRUE(WaitUntil([&] { return ProgramWindow() && ProgramWindow() != first; }, 15000));
      EXPECT_STRCASEEQ(ImageOf(ProgramWindow()).c_str(), (kDir + c.restarted).c_str());
    } else {
      Sleep(1000);
      EXPECT_EQ(ProgramWindow(), nullptr);
    }
    EXPECT_EQ(PadWindow(), nullptr);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), kDir);
    EXPECT_FALSE(Exists("C:\\Elsewhere"));
    for (const auto& f : OurFiles(kDir, c.pad)) EXPECT_EQ(Contents(f.installed), Contents(f.built)) << f.installed;
    EXPECT_EQ(Exists(kDir + "\\Simulator"), c.pad);
    EXPECT_EQ(Exists(StartMenuFolder() + "\\Launch-button pad.lnk"), c.pad);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Zephra Button"),
              c.autostart ? "\"" + kDir + "\\zephkeys.exe\"" : std::string("<missing>"));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "S2"), "www.example.org");
    EXPECT_EQ(PendingAtRestart(), "");

    HANDLE after = nullptr;
    if (ProgramWindow()) ImageOf(ProgramWindow(), &after);
    EXPECT_EQ(Uninstall(), 0u);
    if (after) {
      EXPECT_EQ(EndOf(after), 0u);
    }
    EXPECT_FALSE(Exists(kDir));
  }
}

// Files that something else keeps open: replaced or removed when Windows
// restarts, and the setup's exit code says so.
TEST_F(Installer, FilesInUseAreLeftForTheRestart) {
  const std::string file = kDir + "\\Simulator\\PortIO.dll";
  const std::string nt = Lower("\\??\\" + file);
  struct Step {
    const char* what;
    std::function<DWORD()> run;
    DWORD exitCode;
    std::string pending;  // what Windows does at its restart
    bool newCopyWaits;    // the new file beside the one in use
  };
  const Step steps[] = {
      {"upgrade", [] { return RunSetup(); }, 3010u, nt + ".new -> !" + nt + "\n", true},
      {"uninstall", [] { return Uninstall(); }, 0u, nt + " -> \n", false},
  };
  ASSERT_EQ(RunSetup(), 0u);
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    ForgetPending();
    HANDLE held = Hold(file);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(s.run(), s.exitCode);
    CloseHandle(held);
    EXPECT_NE(PendingAtRestart().find(s.pending), std::string::npos) << PendingAtRestart();
    EXPECT_EQ(Contents(file + ".new"), s.newCopyWaits ? Contents(Env("ZEPH_BUILD") + "\\sim\\PortIO.dll") : "");
  }
  // Everything else is gone.
  EXPECT_FALSE(Exists(kDir + "\\zephkeys.exe"));
  EXPECT_FALSE(Exists(DriverFile()));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<missing>");
  ForgetPending();
  DeleteFileA(file.c_str());
  DeleteFileA((file + ".new").c_str());
  RemoveDirectoryA((kDir + "\\Simulator").c_str());
  RemoveDirectoryA(kDir.c_str());
}

// A folder of the user's own given with /D=: our files go in and out, the
// user's stay, and Add/Remove Programs counts only ours.
TEST_F(Installer, AFolderOfTheUsersKeepsItsFilesAndTheSizeIsOurs) {
  const std::string dir = "C:\\Tools";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\Simulator").c_str(), nullptr);
  const struct { const char* name; size_t size; } theirs[] = {
      {"\\readme.txt", 100}, {"\\Simulator\\notes.txt", 200}, {"\\backup.bin", 4u << 20}};
  for (const auto& f : theirs) Write(dir + f.name, std::string(f.size, 'x'));

  ASSERT_EQ(RunSetup("/D=" + dir), 0u);
  ULONGLONG ours = Contents(dir + "\\uninstall.exe").size();
  for (const auto& f : OurFiles(dir)) {
    EXPECT_EQ(Contents(f.installed), Contents(f.built)) << f.installed;
    ours += Contents(f.installed).size();
  }
  EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), static_cast<DWORD>((ours + 1023) / 1024));
  for (const auto& f : theirs) EXPECT_EQ(Contents(dir + f.name).size(), f.size) << f.name;

  ASSERT_EQ(Uninstall(dir), 0u);
  for (const auto& f : OurFiles(dir)) EXPECT_FALSE(Exists(f.installed)) << f.installed;
  EXPECT_FALSE(Exists(dir + "\\uninstall.exe"));
  for (const auto& f : theirs) EXPECT_EQ(Contents(dir + f.name).size(), f.size) << f.name;
}

// The 32-bit setup on 64-bit Windows: its driver could not load there.
TEST_F(Installer, TheOtherSetupRefusesThisWindows) {
  const std::string other = Env("ZEPH_OTHER_SETUP");
  if (other.empty()) GTEST_SKIP() << "no other setup for this Windows";
  EXPECT_EQ(RunToEnd("\"" + other + "\" /S"), 2u);
  EXPECT_FALSE(Exists(kDir));
}

}  // namespace

// The installer as a user (or an administrator's script) runs it: page by page and
// silently, in a fresh prefix, then the uninstaller. ctest passes the setup in
// ZEPH_SETUP, the build tree it packs in ZEPH_BUILD, the project version in
// ZEPH_VERSION and, for the 64-bit prefix, the 32-bit setup in ZEPH_OTHER_SETUP
// (Unix paths). With ZEPH_SHOTS set to a Unix folder, the walk through the pages
// leaves a screenshot of each there.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

const std::string kDir = "C:\\Program Files\\Velmaris\\Zephra Button";
const std::string kRunValue = "\"" + kDir + "\\zephkeys.exe\"";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZephraButton";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunName = "Zephra Button";
const char* const kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\ZephIO";
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
  if (wait != kNoWait && WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  }
  WaitUntil([&] {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr);
    return wait != kWholeJob || info.ActiveProcesses == 0;
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

// Keeps a file open as a virus scanner or an editor might: readable, but neither
// replaceable nor removable.
HANDLE Hold(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
  const std::string bin = Env("ZEPH_BUILD") + "\\bin\\", sim = Env("ZEPH_BUILD") + "\\sim\\";
  std::vector<OurFile> files = {{dir + "\\zephkeys.exe", bin + "zephkeys.exe"},
                                {dir + "\\PortIO.dll", bin + "PortIO.dll"},
                                {dir + "\\zephpad.exe", sim + "zephpad.exe"},
                                {dir + "\\zephpad.com", sim + "zephpad.com"},
                                {DriverFile(), bin + "zephio.sys"}};
  if (!pad) return files;
  for (const char* f : {"zephkeys.exe", "PortIO.dll", "zephpad.exe", "zephpad.com"}) {
    files.push_back({dir + "\\Simulator\\" + f, (std::string(f) == "zephkeys.exe" ? bin : sim) + f});
  }
  return files;
}

// A string value, or a number in decimal; "<missing>" when absent. HKLM in its
// 64-bit view where there is one.
std::string RegValue(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return "<missing>";
  char buf[1024] = "";
  DWORD size = sizeof buf - 1, type = 0;
  const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "<missing>";
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(buf));
  return type == REG_SZ || type == REG_EXPAND_SZ ? buf : "?";
}

void PutText(HKEY root, const char* path, const char* name, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr), 0);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// What Windows is to rename or delete at its next start, lower case, one
// "from -> to" a line ("to" empty for a delete); not the uninstaller's temporary
// copy of itself.
std::string PendingAtRestart() {
  HKEY key;
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  BYTE* bytes = reinterpret_cast<BYTE*>(&data[0]);
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, bytes, &size)) size = 0;
  RegCloseKey(key);
  std::vector<std::string> names;  // read by the value's size: a delete's second name is empty
  for (size_t at = 0; at + 1 < size; at += names.back().size() + 1) names.push_back(Lower(data.c_str() + at));
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

std::string StartMenuFolder() {
  char programs[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs);
  return std::string(programs) + "\\Zephra Button";
}

// The port driver service's state, 0 when there is no such service.
DWORD DriverState() {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE svc = scm ? OpenServiceA(scm, "ZephIO", SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status = {};
  if (svc && !QueryServiceStatus(svc, &status)) status.dwCurrentState = 0;
  if (svc) CloseServiceHandle(svc);
  if (scm) CloseServiceHandle(scm);
  return status.dwCurrentState;
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

// Starts a program and waits for its window (the pad's for zephpad.exe); returns its process, or null.
HANDLE StartAndWait(const std::string& file) {
  HANDLE process = nullptr;
  const bool pad = file.find("zephpad.exe") != std::string::npos;
  RunToEnd("\"" + file + "\"", kNoWait, &process);
  if (WaitUntil([&] { return (pad ? PadWindow() : ProgramWindow()) != nullptr; }, 10000)) return process;
  if (process) CloseHandle(process);
  return nullptr;
}

// What an install in dir leaves (or, with installed false, that none of it is left),
// with or without the pad and the start at logon.
void ExpectInstalled(const std::string& dir, bool pad, bool autostart, bool installed = true) {
  // The build's files, each in its place: the hardware library beside the program,
  // the simulator's beside the pad, the driver where Windows keeps drivers.
  for (const auto& f : OurFiles(dir, pad)) {
    const std::string contents = Contents(f.installed);
    EXPECT_TRUE(installed ? !contents.empty() && contents == Contents(f.built) : !Exists(f.installed)) << f.installed;
  }
  EXPECT_FALSE(Exists(dir + "\\zephio.sys"));
  EXPECT_TRUE(installed || !Exists(dir + "\\uninstall.exe"));
  EXPECT_TRUE(!installed || Exists(dir + "\\Simulator") == pad);
  // Start at logon for everyone on the machine, and no longer for the user alone.
  const std::string none = "<missing>", program = "\"" + dir + "\\zephkeys.exe\"";
  const struct { HKEY root; const char *key, *name; std::string value; } values[] = {
      {HKEY_LOCAL_MACHINE, kServiceKey, "Type", "1"},   // a kernel driver,
      {HKEY_LOCAL_MACHINE, kServiceKey, "Start", "2"},  // started at boot
      {HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", "\\SystemRoot\\System32\\drivers\\zephio.sys"},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Zephra Button"},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", Env("ZEPH_VERSION")},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", dir},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + dir + "\\uninstall.exe\""},
      {HKEY_LOCAL_MACHINE, kRunKey, kRunName, autostart ? program : none},
      {HKEY_CURRENT_USER, kRunKey, kRunName, none}};
  for (const auto& v : values) EXPECT_EQ(RegValue(v.root, v.key, v.name), installed ? v.value : none) << v.name;
  const std::string menu = StartMenuFolder();
  const struct { const char *link, *target; bool ofPad; } links[] = {
      {"Zephra Button.lnk", "\\zephkeys.exe", false},
      {"Uninstall Zephra Button.lnk", "\\uninstall.exe", false},
      {"Zephra Button (simulated buttons).lnk", "\\Simulator\\zephkeys.exe", true},
      {"Launch-button pad.lnk", "\\Simulator\\zephpad.exe", true}};
  for (const auto& l : links) {  // a shortcut names its target, NUL-terminated
    const bool there = Contents(menu + "\\" + l.link).find(dir + l.target + '\0') != std::string::npos;
    EXPECT_EQ(there, installed && (pad || !l.ofPad)) << l.link;
  }
  EXPECT_TRUE(installed || !Exists(menu));
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
  char cls[64] = "", text[2048] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  if (IsWindowVisible(hwnd)) {
    reinterpret_cast<std::vector<Control>*>(param)->push_back(
        {hwnd, cls, text, GetDlgCtrlID(hwnd), GetWindowLongA(hwnd, GWL_STYLE)});
  }
  return TRUE;
}
// The visible controls of a window and its pages, in their Z order, and all their texts.
std::vector<Control> Controls(HWND top, std::string* texts) {
  std::vector<Control> all;
  EnumChildWindows(top, AddControl, reinterpret_cast<LPARAM>(&all));
  texts->clear();
  for (const auto& c : all) *texts += c.text + "\n";
  return all;
}

// The first visible top-level window titled "Zephra Button..." (not the pad) that match accepts.
HWND OurWindow(bool (*match)(HWND)) {
  for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExA(nullptr, w, nullptr, nullptr)) {
    char title[256] = "";
    GetWindowTextA(w, title, sizeof title);
    const std::string t = title;
    if (IsWindowVisible(w) && t.rfind("Zephra Button", 0) == 0 && t != kPadTitle && match(w)) return w;
  }
  return nullptr;
}
bool HasPage(HWND hwnd) { return FindWindowExA(hwnd, nullptr, "#32770", nullptr) != nullptr; }
// The setup's or the uninstaller's wizard: the window with a page in it.
HWND WizardWindow() { return OurWindow(HasPage); }

// A message box of the setup's or the uninstaller's: its text, and it is closed.
std::string CloseMessageBox() {
  const HWND box = OurWindow([](HWND hwnd) { return GetDlgItem(hwnd, 0xFFFF) != nullptr && !HasPage(hwnd); });
  if (!box) return "";
  char text[1024] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return text;
}

// Why a control's text does not show whole, "" when it does: it needs more room
// than it has (the height its words take in its width; check box, radio button,
// push button and group box texts are one line), or it reaches past the window that
// holds it. Measured in the font the page draws it in (the control's own belongs to
// the other process): MS Shell Dlg 8 pt, bold for the header's title (1037), 12 pt
// bold for the welcome and finish pages' title (1201).
std::string Misfit(const Control& c) {
  if (c.text.empty()) return "";
  const std::string cls = Lower(c.cls);
  const std::string what = "\"" + c.text.substr(0, 40) + "\" (" + c.cls + " " + std::to_string(c.id) + ")";
  RECT box, area;
  GetWindowRect(c.hwnd, &box);
  GetClientRect(GetParent(c.hwnd), &area);
  MapWindowPoints(GetParent(c.hwnd), nullptr, reinterpret_cast<POINT*>(&area), 2);
  if (box.left < area.left || box.top < area.top || box.right > area.right || box.bottom > area.bottom) {
    return what + " reaches past its window";
  }
  const bool isButton = cls == "button";
  const LONG type = c.style & (isButton ? BS_TYPEMASK : SS_TYPEMASK);
  const bool isText = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP;
  if (!isButton && (cls != "static" || !isText)) return "";
  HDC dc = GetDC(nullptr);
  const bool big = c.id == 1201;
  const int weight = big || c.id == 1037 ? FW_BOLD : FW_NORMAL;
  HFONT font = CreateFontA(-MulDiv(big ? 12 : 8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, weight, 0, 0, 0,
                           DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  HGDIOBJ old = SelectObject(dc, font);
  RECT client;
  GetClientRect(c.hwnd, &client);
  int width = client.right, height = client.bottom;
  const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
  if (isButton) width -= type == BS_GROUPBOX ? 2 * GetSystemMetrics(SM_CXEDGE) + 12
                         : push ? 2 * GetSystemMetrics(SM_CXEDGE) + 4 : GetSystemMetrics(SM_CXMENUCHECK) + 4;
  RECT need = {0, 0, width, 0};
  DrawTextA(dc, c.text.c_str(), -1, &need,
            DT_CALCRECT | (isButton || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK | DT_EXPANDTABS));
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  if (isButton && type == BS_GROUPBOX) height = need.bottom;  // only its caption line counts
  if (need.right <= width && need.bottom <= height) return "";
  return what + " needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom) + ", has " +
         std::to_string(width) + "x" + std::to_string(height);
}

void Shot(const std::string& name) {
  char folder[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("ZEPH_SHOTS", folder, MAX_PATH)) return;
  // Wine starts a Unix program from its path on the Z: drive, and does not wait for it.
  RunToEnd("Z:\\usr\\bin\\import -window root " + std::string(folder) + "/" + name + ".png");
  Sleep(1500);
}

// Walks the pages of the setup or uninstaller started as cmd, clicking Next on each
// once it is enabled, and checks every page's texts fit and the exit code. Returns
// the pages' texts. At the finish page, "Start Zephra Button now" is left off, and
// the restart for later.
std::string WalkPages(const std::string& cmd, const std::string& shotPrefix, DWORD exitCode) {
  std::string pages, last, text;
  HANDLE process = nullptr;
  RunToEnd(cmd, kNoWait, &process);
  EXPECT_TRUE(WaitUntil([] { return WizardWindow() != nullptr; }, 20000)) << cmd;
  bool busyShot = false;
  for (int page = 1; page <= 12; ++page) {
    HWND top = nullptr;
    std::vector<Control> controls;
    // The next page: new texts, and Next enabled (the file copy page enables it when done).
    const bool ready = WaitUntil([&] {
      if (!(top = WizardWindow())) return true;
      EXPECT_EQ(CloseMessageBox(), "") << "a message box";
      // A page makes its controls one by one: it is there when two looks agree.
      std::string before;
      Controls(top, &before);
      Sleep(300);
      controls = Controls(top, &text);
      const bool nextEnabled = IsWindowEnabled(GetDlgItem(top, IDOK)) != FALSE;
      if (!nextEnabled && text != last && !busyShot) {  // the file copy page moves on by itself
        busyShot = true;
        Shot(shotPrefix + std::to_string(page) + "-working");
      }
      // The file copy page enables Next a moment before its status says it is done.
      const bool copying = std::any_of(controls.begin(), controls.end(), [](const Control& c) {
        return c.cls == "msctls_progress32";
      }) && std::none_of(controls.begin(), controls.end(), [](const Control& c) {
        return c.id == 1006 && c.text == "Completed";
      });
      return text == before && text != last && nextEnabled && !copying;
    }, 30000);
    if (!top) break;
    EXPECT_TRUE(ready) << "stuck at:\n" << text;
    if (!ready) break;
    pages += (last = text) + "\f";
    Shot(shotPrefix + std::to_string(page));
    for (const auto& c : controls) {
      EXPECT_EQ(Misfit(c), "") << "page " << page << " of " << cmd;
      // No program started, no restart of the machine.
      if (c.text == "Start Zephra Button now" || c.text == "Reboot now") SendMessageA(c.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
      if (c.text == "I want to manually reboot later") SendMessageA(c.hwnd, BM_SETCHECK, BST_CHECKED, 0);
      if (c.cls != "SysTreeView32") continue;
      // The components page describes the component under the mouse: each description must fit too.
      EXPECT_EQ(GetWindowLongA(c.hwnd, GWL_STYLE) & WS_HSCROLL, 0) << "a component's name is wider than its list";
      const int row = static_cast<int>(SendMessageA(c.hwnd, TVM_GETITEMHEIGHT, 0, 0));
      for (int i = static_cast<int>(SendMessageA(c.hwnd, TVM_GETCOUNT, 0, 0)) - 1; i >= 0; --i) {
        // The page reports a change of item only, and asks where the mouse is as well as being told.
        POINT at = {40, row * i + row / 2};
        ClientToScreen(c.hwnd, &at);
        SetCursorPos(at.x, at.y);
        PostMessageA(c.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(40, row * i + row / 2));
        Sleep(300);
        std::string ignored;
        for (const auto& d : Controls(top, &ignored)) {
          if (d.id != 1043) continue;
          EXPECT_EQ(Misfit(d), "") << "component " << i;
          pages += d.text + "\f";
          Shot(shotPrefix + std::to_string(page) + "-component" + std::to_string(i));
        }
      }
    }
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(top, IDOK)));
  }
  EXPECT_EQ(EndOf(process, 30000), exitCode) << cmd;
  return pages;
}

// First: a setup whose driver does not start stops at a message box, and under
// 64-bit Wine the driver host dies at the installed program's first port
// instruction (it emulates them only for 32-bit drivers).
TEST_F(Installer, EveryPageFitsAndAnUpgradeKeepsItsFolder) {
  const std::string setup = "\"" + Env("ZEPH_SETUP") + "\"";
  const std::string uninstall = "\"" + kDir + "\\uninstall.exe\"";
  const std::vector<std::string> threeHeld = {"\\Simulator\\PortIO.dll", "\\zephpad.exe", "\\PortIO.dll"};
  const struct {
    const char* what;
    std::string cmd;
    std::vector<std::string> held;  // files in the folder something else keeps open meanwhile
    std::vector<std::string> shown, notShown;
    DWORD exitCode;
  } walks[] = {
      {"first install", setup, {},
       {"Choose what to install", "Destination Folder", "Start Zephra Button now", "port driver.", "logs on",
        "launch buttons"},
       {}, 0},
      {"upgrade: no folder page", setup, {}, {"Setup upgrades Zephra Button in its folder, " + kDir},
       {"Destination Folder", "were in use"}, 0},
      {"upgrade with a file held: the last page names it", setup, {"\\Simulator\\PortIO.dll"},
       {"were in use and are replaced when Windows restarts:\r\n" + kDir + "\\Simulator\\PortIO.dll"}, {}, 3010},
      {"uninstall with files held: the last page names them", uninstall, threeHeld,
       {kDir + threeHeld[0], kDir + threeHeld[1], kDir + threeHeld[2]},
       {"its start at logon are gone"}, 0},  // the uninstaller's first process hands over at once
  };
  int n = 0;
  for (const auto& w : walks) {
    SCOPED_TRACE(w.what);
    ForgetPending();
    std::vector<HANDLE> held;
    for (const auto& f : w.held) held.push_back(Hold(kDir + f));
    const std::string pages = WalkPages(w.cmd, "walk" + std::to_string(++n) + "-", w.exitCode);
    for (HANDLE h : held) CloseHandle(h);
    for (const auto& s : w.shown) EXPECT_NE(pages.find(s), std::string::npos) << s;
    for (const auto& s : w.notShown) EXPECT_EQ(pages.find(s), std::string::npos) << s;
    // Each held file is replaced or removed when Windows restarts.
    for (const auto& f : w.held) EXPECT_NE(PendingAtRestart().find(Lower("\\??\\" + kDir + f)), std::string::npos) << f;
    EXPECT_TRUE(n != 2 || DriverState() == SERVICE_RUNNING) << "the upgrade started the driver again";
  }
  // Only the held files are left until the restart.
  ForgetPending();
  for (const auto& f : threeHeld) DeleteFileA((kDir + f).c_str());
  for (const std::string& d : {kDir + "\\Simulator", kDir, std::string("C:\\Program Files\\Velmaris")}) {
    RemoveDirectoryA(d.c_str());
  }
  EXPECT_FALSE(Exists(kDir));
}

// ---------------------------------------------------------------------------

TEST_F(Installer, InstallsStartsAndUninstallsLeavingOnlyTheSettings) {
  PutText(HKEY_CURRENT_USER, kSettingsKey, "S1", "C:\\my\\browser.exe");
  // An earlier version kept start at logon in the installing user's own Run key.
  PutText(HKEY_CURRENT_USER, kRunKey, kRunName, kRunValue);
  ASSERT_EQ(RunSetup(), 0u);
  ExpectInstalled(kDir, true, true);
  EXPECT_EQ(DriverState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(FileVersion(kDir + "\\zephkeys.exe"), Env("ZEPH_VERSION"));
  EXPECT_EQ(FileVersion(Env("ZEPH_SETUP")), Env("ZEPH_VERSION"));

  // The program runs from its place; the installed pad presses a simulated button,
  // and its "show" goes through the driver.
  HANDLE program = StartAndWait(kDir + "\\zephkeys.exe");
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\Simulator\\zephpad.exe\" press 1"), 0u);
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\zephpad.exe\" show"), 0u);
  char state[MAX_PATH];
  ExpandEnvironmentStringsA("%LOCALAPPDATA%\\ZephraSimChipset.dat", state, MAX_PATH);
  EXPECT_TRUE(Exists(state));
  HANDLE pad = StartAndWait(kDir + "\\Simulator\\zephpad.exe");
  ASSERT_NE(pad, nullptr);
  PutText(HKEY_CURRENT_USER, kRunKey, kRunName, kRunValue);

  // The uninstaller ends the program through its Exit command, closes the pad and
  // takes everything away but the button settings.
  ASSERT_EQ(Uninstall(), 0u);
  EXPECT_EQ(EndOf(program, 5000), 0u);
  EXPECT_EQ(EndOf(pad, 5000), 0u);
  ExpectInstalled(kDir, true, true, false);
  EXPECT_EQ(DriverState(), 0u);
  EXPECT_FALSE(Exists(kDir));
  EXPECT_FALSE(Exists("C:\\Program Files\\Velmaris"));
  EXPECT_FALSE(Exists(state));
  EXPECT_EQ(PendingAtRestart(), "");
  EXPECT_EQ(RegValue(HKEY_CURRENT_USER, kSettingsKey, "S1"), "C:\\my\\browser.exe");
}

// Over an installed copy: each case installs, prepares what an earlier install
// and the user leave behind, upgrades silently, checks, and uninstalls.
TEST_F(Installer, UpgradesKeepTheFolderAndTheChoicesAndRestartTheInstalledCopy) {
  const std::string build = Env("ZEPH_BUILD"), elsewhere = "C:\\Old copy";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  CopyFileA((build + "\\bin\\zephkeys.exe").c_str(), (elsewhere + "\\zephkeys.exe").c_str(), FALSE);
  CopyFileA((build + "\\sim\\PortIO.dll").c_str(), (elsewhere + "\\PortIO.dll").c_str(), FALSE);
  PutText(HKEY_CURRENT_USER, kSettingsKey, "S2", "www.example.org");
  const struct {
    const char* what;
    const char* firstOptions;
    bool earlierUserValue;  // an earlier version's start at logon in the user's Run key
    std::string running;    // before the upgrade
    std::string held;       // a file of ours that something else keeps open meanwhile
    const char* options;    // of the upgrade
    bool autostart, pad;    // afterwards
    std::string restarted;  // the program running afterwards; "" none
  } cases[] = {
      {"the simulator's copy runs again; no start at logon stays so", "/NOAUTOSTART", false,
       kDir + "\\Simulator\\zephkeys.exe", "", "", false, true, kDir + "\\Simulator\\zephkeys.exe"},
      {"the open pad is closed; the user's start at logon moves to the machine; a held file waits for the restart",
       "/NOAUTOSTART", true, kDir + "\\Simulator\\zephpad.exe", kDir + "\\Simulator\\PortIO.dll", "", true, true, ""},
      // Last: it starts the installed copy, which reads the real ports.
      {"no pad stays so; /D= is ignored; a copy elsewhere gives way to ours", "/NOPAD", false,
       elsewhere + "\\zephkeys.exe", "", "/D=C:\\Elsewhere", true, false, kDir + "\\zephkeys.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ForgetPending();
    ASSERT_EQ(RunSetup(c.firstOptions), 0u);
    if (c.earlierUserValue) PutText(HKEY_CURRENT_USER, kRunKey, kRunName, kRunValue);
    HANDLE before = StartAndWait(c.running);
    ASSERT_NE(before, nullptr);
    const HWND first = ProgramWindow();
    HANDLE held = c.held.empty() ? INVALID_HANDLE_VALUE : Hold(c.held);

    // Silently too, files in use are left for the restart, and the exit code says so.
    EXPECT_EQ(RunSetup(c.options), c.held.empty() ? 0u : 3010u);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    const std::string nt = Lower("\\??\\" + c.held);
    EXPECT_EQ(PendingAtRestart(), c.held.empty() ? "" : nt + ".new -> !" + nt + "\n");
    EXPECT_EQ(Contents(c.held + ".new"), c.held.empty() ? "" : Contents(c.held));
    EXPECT_EQ(EndOf(before), 0u);  // ended by its own Exit or Close
    if (!c.restarted.empty()) {
      ASSERT_TRUE(WaitUntil([&] { return ProgramWindow() && ProgramWindow() != first; }, 15000));
      EXPECT_STRCASEEQ(ImageOf(ProgramWindow()).c_str(), c.restarted.c_str());
    } else {
      Sleep(1000);
      EXPECT_EQ(ProgramWindow(), nullptr);
    }
    EXPECT_EQ(PadWindow(), nullptr);
    ExpectInstalled(kDir, c.pad, c.autostart);
    EXPECT_FALSE(Exists("C:\\Elsewhere"));
    EXPECT_EQ(RegValue(HKEY_CURRENT_USER, kSettingsKey, "S2"), "www.example.org");

    // The uninstaller ends the restarted copy and takes the copy left for the restart too.
    HANDLE after = nullptr;
    if (ProgramWindow()) ImageOf(ProgramWindow(), &after);
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(after ? EndOf(after) : 0u, 0u);
    EXPECT_FALSE(Exists(kDir));
  }
}

// A folder of the user's own given with /D=: our files go in and out, the
// user's stay, and Add/Remove Programs counts only ours.
TEST_F(Installer, AFolderOfTheUsersKeepsItsFilesAndTheSizeIsOurs) {
  const std::string dir = "C:\\Tools";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\Simulator").c_str(), nullptr);
  const struct { const char* name; size_t size; } theirs[] = {
      {"\\readme.txt", 100}, {"\\Simulator\\notes.txt", 200}, {"\\backup.bin", 4u << 20}};
  for (const auto& f : theirs) std::ofstream(dir + f.name, std::ios::binary) << std::string(f.size, 'x');

  ASSERT_EQ(RunSetup("/D=" + dir), 0u);
  ExpectInstalled(dir, true, true);
  size_t ours = Contents(dir + "\\uninstall.exe").size();
  for (const auto& f : OurFiles(dir)) ours += Contents(f.installed).size();
  EXPECT_EQ(RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), std::to_string((ours + 1023) / 1024));

  ASSERT_EQ(Uninstall(dir), 0u);
  ExpectInstalled(dir, true, true, false);
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

// The installer as a user (or an administrator's script) runs it: silently, in a
// fresh prefix, then the uninstaller. ctest passes the setup in ZEPH_SETUP, the
// build tree it packs in ZEPH_BUILD, the project version in ZEPH_VERSION and, for
// the 64-bit prefix, the 32-bit setup in ZEPH_OTHER_SETUP (Unix paths).
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <fstream>
#include <iterator>
#include <string>

#include "gtest/gtest.h"

namespace {

const std::string kDir = "C:\\Program Files\\Velmaris\\Zephra Button";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZephraButton";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kSettingsKey = "Software\\Velmaris\\Zephbox";

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

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; !condition(); waited += 100) {
    if (waited >= timeoutMs) return false;
    Sleep(100);
  }
  return true;
}

// Runs a command line to its end and, with kWholeJob, every process it starts
// too (the uninstaller hands over to a copy of itself). Returns its exit code,
// or at once STILL_ACTIVE with kNoWait.
enum Wait { kProcess, kWholeJob, kNoWait };
DWORD RunToEnd(std::string cmd, Wait wait = kProcess) {
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
  CloseHandle(pi.hProcess);
  CloseHandle(job);
  return code;
}

DWORD RunSetup(const std::string& options = "") { return RunToEnd("\"" + Env("ZEPH_SETUP") + "\" /S " + options); }
DWORD Uninstall() { return RunToEnd("\"" + kDir + "\\uninstall.exe\" /S", kWholeJob); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// The running program's tray window, and the file its process runs.
HWND ProgramWindow() { return FindWindowA("Zephkeys", nullptr); }
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

void PutSetting(const char* name, const char* text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(key);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Env("ZEPH_SETUP").empty()); }
};

// First: under 64-bit Wine the driver host dies at the installed program's first
// port instruction (it emulates them only for 32-bit drivers), which would
// leave this test a driver that does not start again.
TEST_F(Installer, InstallOverAnInstallRestartsTheProgramAndKeepsTheChoices) {
  ASSERT_EQ(RunSetup("/NOAUTOSTART"), 0u);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");
  PutSetting("S2", "www.example.org");
  // The simulator's copy, which Setup must start again.
  const std::string copy = kDir + "\\Simulator\\zephkeys.exe";
  RunToEnd("\"" + copy + "\"", kNoWait);
  ASSERT_TRUE(WaitUntil([] { return ProgramWindow() != nullptr; }, 10000));
  HANDLE before = nullptr;
  const HWND first = ProgramWindow();
  ImageOf(first, &before);

  ASSERT_EQ(RunSetup(), 0u);
  DWORD exitCode = STILL_ACTIVE;
  if (WaitForSingleObject(before, 5000) == WAIT_OBJECT_0) GetExitCodeProcess(before, &exitCode);
  CloseHandle(before);
  EXPECT_EQ(exitCode, 0u);
  // Started again, the same copy; a new window, not the old one.
  ASSERT_TRUE(WaitUntil([&] { return ProgramWindow() && ProgramWindow() != first; }, 15000));
  EXPECT_STRCASEEQ(ImageOf(ProgramWindow()).c_str(), copy.c_str());
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "S2"), "www.example.org");
  EXPECT_EQ(DriverService().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Uninstall(), 0u);
}

TEST_F(Installer, InstallsStartsAndUninstallsLeavingOnlyTheSettings) {
  PutSetting("S1", "C:\\my\\browser.exe");
  ASSERT_EQ(RunSetup(), 0u);

  // The build's files, each in its place: the hardware library beside the
  // program, the simulator's beside the pad.
  const std::string build = Env("ZEPH_BUILD");
  const struct { const char* installed; const char* built; } files[] = {
      {"\\zephkeys.exe", "\\bin\\zephkeys.exe"},   {"\\PortIO.dll", "\\bin\\PortIO.dll"},
      {"\\zephio.sys", "\\bin\\zephio.sys"},       {"\\zephpad.exe", "\\sim\\zephpad.exe"},
      {"\\Simulator\\zephkeys.exe", "\\bin\\zephkeys.exe"},
      {"\\Simulator\\PortIO.dll", "\\sim\\PortIO.dll"}, {"\\Simulator\\zephpad.exe", "\\sim\\zephpad.exe"}};
  for (const auto& f : files) {
    const std::string installed = Contents(kDir + f.installed);
    EXPECT_TRUE(!installed.empty() && installed == Contents(build + f.built)) << f.installed;
  }
  EXPECT_TRUE(Exists(kDir + "\\uninstall.exe"));

  const std::string version = Env("ZEPH_VERSION");
  EXPECT_EQ(FileVersion(kDir + "\\zephkeys.exe"), version);
  EXPECT_EQ(FileVersion(Env("ZEPH_SETUP")), version);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zephra Button");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + kDir + "\\uninstall.exe\"");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "\"" + kDir + "\\zephkeys.exe\"");

  const Service driver = DriverService();
  EXPECT_EQ(driver.type, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
  EXPECT_EQ(driver.start, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(driver.state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_NE(driver.path.find(kDir + "\\zephio.sys"), std::string::npos) << driver.path;

  const std::string menu = StartMenuFolder();
  const struct { const char* link; const char* target; } links[] = {
      {"Zephra Button.lnk", "\\zephkeys.exe"},
      {"Zephra Button (simulated buttons).lnk", "\\Simulator\\zephkeys.exe"},
      {"Launch-button pad.lnk", "\\Simulator\\zephpad.exe"},
      {"Uninstall Zephra Button.lnk", "\\uninstall.exe"}};
  for (const auto& l : links) EXPECT_TRUE(LinksTo(menu + "\\" + l.link, kDir + l.target)) << l.link;

  // The program runs from its place; the installed pad presses a simulated button.
  HANDLE program = nullptr;
  RunToEnd("\"" + kDir + "\\zephkeys.exe\"", kNoWait);
  ASSERT_TRUE(WaitUntil([] { return ProgramWindow() != nullptr; }, 10000));
  EXPECT_STRCASEEQ(ImageOf(ProgramWindow(), &program).c_str(), (kDir + "\\zephkeys.exe").c_str());
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\Simulator\\zephpad.exe\" press 1"), 0u);
  EXPECT_EQ(RunToEnd("\"" + kDir + "\\zephpad.exe\" show"), 0u);  // through the driver
  char state[MAX_PATH];
  ExpandEnvironmentStringsA("%LOCALAPPDATA%\\ZephraSimChipset.dat", state, MAX_PATH);
  EXPECT_TRUE(Exists(state));

  // The uninstaller ends the program through its Exit command and takes
  // everything away but the button settings.
  ASSERT_EQ(Uninstall(), 0u);
  DWORD exitCode = STILL_ACTIVE;
  if (WaitForSingleObject(program, 5000) == WAIT_OBJECT_0) GetExitCodeProcess(program, &exitCode);
  CloseHandle(program);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(Exists(kDir));
  EXPECT_FALSE(Exists("C:\\Program Files\\Velmaris"));
  EXPECT_FALSE(Exists(menu));
  EXPECT_FALSE(Exists(state));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, "Zephra Button"), "<missing>");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<missing>");
  EXPECT_EQ(DriverService().path, "<missing>");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "S1"), "C:\\my\\browser.exe");
}

// The 32-bit setup on 64-bit Windows: its driver could not load there.
TEST_F(Installer, TheOtherSetupRefusesThisWindows) {
  const std::string other = Env("ZEPH_OTHER_SETUP");
  if (other.empty()) GTEST_SKIP() << "no other setup for this Windows";
  EXPECT_EQ(RunToEnd("\"" + other + "\" /S"), 2u);
  EXPECT_FALSE(Exists(kDir));
}

}  // namespace

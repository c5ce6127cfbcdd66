// The installer's life cycle as an administrator's script runs it: silent setups,
// upgrades and uninstalls, one life cycle (a row of the table below) per fresh prefix,
// so that one failure cannot spoil the next. ctest passes the setup in ZEPH_SETUP,
// the build tree it packs in ZEPH_BUILD, the project version in ZEPH_VERSION and, for
// the 64-bit prefix, the 32-bit setup in ZEPH_OTHER_SETUP (Unix paths). Every wait
// ends on its event; ZEPH_TEST_TIMEOUT, the run's time in seconds, bounds it.
// Runs under Wine only, which shows Windows 7 or later: Vista's calls may be used.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "wait.h"

#include "gtest/gtest.h"

namespace {

using zeph::test::WaitLimitMs;
using zeph::test::WaitUntil;

const std::string kDir = "C:\\Program Files\\Velmaris\\Zephra Button";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZephraButton";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunName = "Zephra Button";
const char* const kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\ZephIO";
const char* const kSettingsKey = "Software\\Velmaris\\Zephbox";
const char* const kNone = "<missing>";

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


// A command line started as this user, or with limited true as one without
// administrator rights (in whose token the administrators only deny).
HANDLE Start(std::string cmd, bool limited = false) {
  HANDLE mine = nullptr, token = nullptr;
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  SID_AND_ATTRIBUTES deny = {admins, 0};
  OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &mine);
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size);
  CreateRestrictedToken(mine, 0, limited ? 1 : 0, &deny, 0, nullptr, 0, nullptr, &token);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const BOOL started =
      limited ? CreateProcessAsUserA(token, nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)
              : CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(mine);
  CloseHandle(token);
  if (!started) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}
// The exit code of a process that should end by itself; STILL_ACTIVE if it did not.
DWORD End(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  if (process && WaitForSingleObject(process, WaitLimitMs()) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  if (process) CloseHandle(process);
  return code;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A string value, or a number in decimal; kNone when absent.
std::string RegValue(HKEY root, const char* path, const char* name) {
  char buf[1024] = "";
  DWORD size = sizeof buf, type = 0;
  if (RegGetValueA(root, path, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, buf, &size)) return kNone;
  return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(buf)) : buf;
}
void PutText(HKEY root, const char* path, const char* name, const std::string& text) {
  ASSERT_EQ(RegSetKeyValueA(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1)), 0);
}

// What Windows is to rename or delete at its next start, lower case, one
// "from -> to" a line ("to" empty for a delete).
std::string PendingAtRestart() {
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &data[0], &size)) {
    size = 0;
  }
  std::vector<std::string> names;  // read by the value's size: a delete's second name is empty
  for (size_t at = 0; at + 1 < size; at += names.back().size() + 1) names.push_back(Lower(data.c_str() + at));
  std::string lines;
  for (size_t i = 0; i + 1 < names.size(); i += 2) lines += names[i] + " -> " + names[i + 1] + "\n";
  return lines;
}

// The port driver service's state, 0 when there is no such service.
DWORD DriverState() {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE svc = scm ? OpenServiceA(scm, "ZephIO", SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status = {};  // zero when there is none to ask
  QueryServiceStatus(svc, &status);
  CloseServiceHandle(svc);
  CloseServiceHandle(scm);
  return status.dwCurrentState;
}

HWND ProgramWindow() { return FindWindowA("Zephkeys", nullptr); }
HWND PadWindow() { return FindWindowA("#32770", "Zephra Button Pad"); }
// The process of a window.
HANDLE ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return hwnd ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid) : nullptr;
}

// What an install in dir leaves, with or without the pad and the start at logon;
// or, with installed false, that nothing but what is held is left.
void ExpectInstalled(const std::string& dir, bool installed, bool pad, bool autostart, const std::string& held) {
  size_t ours = Contents(dir + "\\uninstall.exe").size();
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  // The hardware library beside the program, the simulator's beside the pad, the
  // driver where Windows keeps drivers.
  const struct { std::string installed; const char* built; bool ofPad; } files[] = {
      {dir + "\\zephkeys.exe", "bin\\zephkeys.exe", false}, {dir + "\\PortIO.dll", "bin\\PortIO.dll", false},
      {dir + "\\zephpad.exe", "sim\\zephpad.exe", false}, {dir + "\\zephpad.com", "sim\\zephpad.com", false},
      {system + std::string("\\drivers\\zephio.sys"), "bin\\zephio.sys", false},
      {dir + "\\Simulator\\zephkeys.exe", "bin\\zephkeys.exe", true},
      {dir + "\\Simulator\\PortIO.dll", "sim\\PortIO.dll", true},
      {dir + "\\Simulator\\zephpad.exe", "sim\\zephpad.exe", true},
      {dir + "\\Simulator\\zephpad.com", "sim\\zephpad.com", true}};
  for (const auto& f : files) {
    if (installed && f.ofPad && !pad) continue;
    const std::string contents = Contents(f.installed);
    ours += contents.size();
    EXPECT_TRUE(installed ? !contents.empty() && contents == Contents(Env("ZEPH_BUILD") + "\\" + f.built)
                          : Exists(f.installed) == (f.installed == held)) << f.installed;
    // A copy for the restart is there only while its file is held.
    EXPECT_EQ(Exists(f.installed + ".new"), installed && f.installed == held) << f.installed;
  }
  EXPECT_EQ(Exists(dir + "\\uninstall.exe"), installed);
  EXPECT_EQ(Exists(dir + "\\Simulator"), installed && pad);
  // Start at logon for everyone on the machine, and no longer for the user alone.
  const struct { HKEY root; const char *key, *name; std::string value; } values[] = {
      {HKEY_LOCAL_MACHINE, kServiceKey, "Type", "1"},   // a kernel driver,
      {HKEY_LOCAL_MACHINE, kServiceKey, "Start", "2"},  // started at boot
      {HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", "\\SystemRoot\\System32\\drivers\\zephio.sys"},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", Env("ZEPH_VERSION")},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", dir},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + dir + "\\uninstall.exe\""},
      // Add/Remove Programs counts our files only, not what else the folder holds.
      {HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", std::to_string((ours + 1023) / 1024)},
      {HKEY_LOCAL_MACHINE, kRunKey, kRunName, autostart ? "\"" + dir + "\\zephkeys.exe\"" : kNone},
      {HKEY_CURRENT_USER, kRunKey, kRunName, kNone}};
  for (const auto& v : values) EXPECT_EQ(RegValue(v.root, v.key, v.name), installed ? v.value : kNone) << v.name;
  char programs[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs);
  const std::string menu = programs + std::string("\\Zephra Button\\");
  const struct { const char *link, *target; bool ofPad; } links[] = {
      {"Zephra Button.lnk", "\\zephkeys.exe", false}, {"Uninstall Zephra Button.lnk", "\\uninstall.exe", false},
      {"Zephra Button (simulated buttons).lnk", "\\Simulator\\zephkeys.exe", true},
      {"Launch-button pad.lnk", "\\Simulator\\zephpad.exe", true}};
  for (const auto& l : links) {  // a shortcut names its target, NUL-terminated
    const bool there = Contents(menu + l.link).find(dir + l.target + '\0') != std::string::npos;
    EXPECT_EQ(there, installed && (pad || !l.ofPad)) << l.link;
  }
  if (installed) return;
  EXPECT_FALSE(Exists(menu));
  EXPECT_EQ(DriverState(), 0u);
}

// A link in place of the folder, made as a user of the machine could: Wine makes
// none itself, but shows a Unix symbolic link to a folder as one.
// Its process cannot be waited for: the wait ends when done says so.
void Unix(const std::string& command, const std::function<bool()>& done) {
  CloseHandle(Start("Z:\\bin\\sh -c \"" + command + "\""));
  EXPECT_TRUE(WaitUntil(done, "the unix command's result"));
}
const std::string kUnixDir = "\\\"$WINEPREFIX/drive_c/Program Files/Velmaris/Zephra Button\\\"";

// A file of ours mapped by another program meanwhile.
HANDLE Map(const std::string& file) {
  HANDLE f = CreateFileA(file.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE mapping = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(f);
  return mapping;
}

// One run of the setup or the uninstaller, and what it leaves.
struct Step {
  const char* what;
  bool setup;              // else the uninstaller
  const char* options;     // the setup's
  const char* running;     // a program of ours in the folder started before ("" none)
  const char* held;        // a file of ours in the folder that another program holds open meanwhile
  const char* blocker;     // a file (in the folder, or a full path) that a folder of that name replaces meanwhile
  bool earlierRun;         // an earlier version's start at logon in the user's Run key before
  DWORD exitCode;          // 5 (refused for want of administrator rights): run without them
  bool pad, autostart;     // installed afterwards
  const char* restarted;   // the program in the folder running afterwards ("" none)
  HANDLE (*prepare)(const std::string& dir) = nullptr;  // what else is there meanwhile; its handle closed after
};
struct LifeCycle {
  const char* name;
  std::string dir;
  std::vector<Step> steps;
};
const std::string kPublisher = "C:\\Program Files\\Velmaris";

const LifeCycle kLifeCycles[] = {
    {"default_folder", kDir, {
        {"install: the user's start at logon moves to the machine", true, "", "", "", "", true, 0, true, true, ""},
        {"upgrade: the folder kept, /D= ignored; the simulator's copy runs again", true, "/D=C:\\Elsewhere",
         "\\Simulator\\zephkeys.exe", "", "", false, 0, true, true, "\\Simulator\\zephkeys.exe"},
        {"uninstall: program and pad end", false, "", "\\Simulator\\zephpad.exe", "", "", false, 0, false, false, ""}}},
    {"choices_kept", kDir, {
        {"install without start at logon and pad", true, "/NOAUTOSTART /NOPAD", "", "", "", false, 0, false, false, ""},
        // Last: the installed copy reads the real ports, which 64-bit Wine's driver host cannot.
        {"upgrade: choices kept", true, "", "\\zephkeys.exe", "", "", false, 0, false, false, "\\zephkeys.exe"},
        {"uninstall", false, "", "", "", "", false, 0, false, false, ""}}},
    {"held_files", kDir, {
        {"install without start at logon", true, "/NOAUTOSTART", "", "", "", false, 0, true, false, ""},
        {"upgrade: the pad closes; a held file waits for the restart; the user's start at logon kept", true, "",
         "\\Simulator\\zephpad.exe", "\\Simulator\\PortIO.dll", "", true, 3010, true, true, ""},
        {"a clean upgrade forgets the copy left for the restart", true, "", "", "", "", false, 0, true, true, ""},
        {"upgrade: a file another program maps is replaced all the same", true, "", "", "", "", false, 0, true, true, "",
         [](const std::string& dir) { return Map(dir + "\\zephpad.exe"); }},
        {"uninstall, a file held", false, "", "", "\\PortIO.dll", "", false, 3010, false,
         false, ""},
        {"an install before the restart forgets the uninstall's delete", true, "", "", "", "", false, 0, true, true, ""}}},
    // Refused before anything changes: a folder of a user's making.
    {"own_folder", kDir, {
        {"a folder holding a user's file", true, "", "", "", "", false, 1603, false, false, "",
         [](const std::string& dir) -> HANDLE {
           CreateDirectoryA(kPublisher.c_str(), nullptr);
           CreateDirectoryA(dir.c_str(), nullptr);
           std::ofstream(dir + "\\readme.txt") << "mine";
           return nullptr;
         }},
        {"a link", true, "", "", "", "", false, 1603, false, false, "",
         [](const std::string& dir) -> HANDLE {
           DeleteFileA((dir + "\\readme.txt").c_str());
           RemoveDirectoryA(dir.c_str());
           // To an empty folder that would pass but for the link.
           Unix("mkdir -p $WINEPREFIX/drive_c/elsewhere && ln -s $WINEPREFIX/drive_c/elsewhere " + kUnixDir,
                [&] { return Exists(dir); });
           return nullptr;
         }},
        {"under a folder everyone may change", true, "", "", "", "", false, 1603, false, false, "",
         [](const std::string& dir) -> HANDLE {
           Unix("rm " + kUnixDir, [&] { return !Exists(dir); });
           SetNamedSecurityInfoA(const_cast<char*>(kPublisher.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, nullptr, nullptr);  // no DACL: anyone may do anything
           return nullptr;
         }}}},
    {"refused_write", kDir, {
        {"install", true, "", "", "", "", false, 0, true, true, ""},
        {"upgrade: a file cannot be written beside its place; the program and the driver go on", true, "",
         "\\Simulator\\zephkeys.exe", "", "\\zephpad.com.new", false, 1603, true, true, "\\Simulator\\zephkeys.exe"},
        {"upgrade: nor can the uninstaller", true, "", "", "", "\\uninstall.exe.new", false, 1603, true, true, ""},
        {"uninstall: a file cannot be removed", false, "", "", "", "\\zephpad.com", false, 1603, false, false, ""}}},
    {"no_rights", kDir, {
        {"a setup without administrator rights", true, "", "", "", "", false, 5, false, false, ""},
        {"a first install that cannot write the driver leaves nothing", true, "", "", "",
         "C:\\windows\\system32\\drivers\\zephio.sys.new", false, 1603, false, false, ""},
        {"install", true, "", "", "", "", false, 0, true, true, ""},
        {"an uninstall without administrator rights", false, "", "", "", "", false, 5, true, true, ""}}},
};

class Installer : public ::testing::TestWithParam<LifeCycle> {};

// A path in the folder, or a full one.
std::string In(const std::string& dir, const char* path) {
  return !*path || strchr(path, ':') ? path : dir + path;
}

TEST_P(Installer, LifeCycle) {
  const LifeCycle& c = GetParam();
  PutText(HKEY_CURRENT_USER, kSettingsKey, "S1", "C:\\my\\browser.exe");
  bool installed = false;
  for (const Step& s : c.steps) {
    SCOPED_TRACE(s.what);
    const std::string held = In(c.dir, s.held), blocker = In(c.dir, s.blocker);
    if (s.earlierRun) PutText(HKEY_CURRENT_USER, kRunKey, kRunName, "\"" + c.dir + "\\zephkeys.exe\"");
    if (*s.blocker) DeleteFileA(blocker.c_str());
    ASSERT_TRUE(!*s.blocker || CreateDirectoryA(blocker.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    if (*s.running) {
      CloseHandle(Start("\"" + c.dir + s.running + "\""));
      const bool pad = std::string(s.running).find("zephpad") != std::string::npos;
      ASSERT_TRUE(WaitUntil([&] { return (pad ? PadWindow() : ProgramWindow()) != nullptr; }, s.running));
    }
    const HANDLE before[] = {ProcessOf(ProgramWindow()), ProcessOf(PadWindow())};
    const HANDLE hold = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE meanwhile = s.prepare ? s.prepare(c.dir) : nullptr;
    const bool folders[] = {Exists(c.dir), Exists(kPublisher)};
    // The uninstaller as it hands over to a copy of itself, whose end this waits for.
    const std::string copy = Env("TEMP") + "\\zeph-uninstall.exe";
    ASSERT_TRUE(s.setup || CopyFileA((c.dir + "\\uninstall.exe").c_str(), copy.c_str(), FALSE));
    const std::string setup = "\"" + Env("ZEPH_SETUP") + "\" /S " + s.options;
    const HANDLE run = Start(s.setup ? setup : "\"" + copy + "\" /S _?=" + c.dir, s.exitCode == 5);
    EXPECT_EQ(End(run), s.exitCode);
    if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
    if (meanwhile) CloseHandle(meanwhile);
    if (*s.blocker) RemoveDirectoryA(blocker.c_str());

    // Ended by its own Exit or Close; a setup that stopped ended nothing.
    const bool done = s.exitCode == 0 || s.exitCode == 3010, ends = done || !s.setup;
    for (HANDLE p : before) {
      if (p) {
        EXPECT_EQ(ends ? End(p) : WaitForSingleObject(p, 0), ends ? 0u : WAIT_TIMEOUT);
      }
      if (p && !ends) CloseHandle(p);
    }
    if (*s.restarted) {
      ASSERT_TRUE(WaitUntil([] { return ProgramWindow() != nullptr; }, "the program started again"));
      HANDLE process = ProcessOf(ProgramWindow());
      char image[MAX_PATH] = "";
      DWORD size = MAX_PATH;
      QueryFullProcessImageNameA(process, 0, image, &size);
      CloseHandle(process);
      EXPECT_STRCASEEQ(image, (c.dir + s.restarted).c_str());
    }
    const std::string nt = Lower("\\??\\" + held);
    const bool left = !held.empty() && held.find(c.dir) == 0;  // by an uninstall, for the restart
    const std::string pending = s.setup ? nt + ".new -> !" + nt + "\n"
                                        : nt + " -> \n" + (left ? Lower("\\??\\" + c.dir + "\\ -> \n") : "");
    EXPECT_EQ(PendingAtRestart(), held.empty() || !done ? "" : pending);
    EXPECT_EQ(RegValue(HKEY_CURRENT_USER, kSettingsKey, "S1"), "C:\\my\\browser.exe");
    if (!s.setup && !done) continue;  // an uninstall that stopped half-way
    installed = done ? s.setup : installed;
    ExpectInstalled(c.dir, installed, s.pad, s.autostart, held);
    // The installed copy reads the real ports, at which 64-bit Wine's driver host dies.
    const bool hardware = std::string(s.restarted) == "\\zephkeys.exe";
    EXPECT_TRUE(!installed || hardware || DriverState() == SERVICE_RUNNING);
    EXPECT_EQ(Exists(c.dir), installed || (done ? left : folders[0]));
    EXPECT_EQ(Exists(kPublisher), installed || (done ? left : folders[1]));
  }
}

INSTANTIATE_TEST_SUITE_P(Cycles, Installer, ::testing::ValuesIn(kLifeCycles),
                         [](const ::testing::TestParamInfo<LifeCycle>& info) { return std::string(info.param.name); });

// The 32-bit setup on 64-bit Windows: its driver could not load there.
TEST(OtherSetup, RefusesThisWindows) {
  const std::string other = Env("ZEPH_OTHER_SETUP");
  if (other.empty()) GTEST_SKIP() << "no other setup for this Windows";
  EXPECT_EQ(End(Start("\"" + other + "\" /S")), 2u);
  EXPECT_FALSE(Exists(kDir));
}

}  // namespace

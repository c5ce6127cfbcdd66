// The simulator's PortIO.dll and the pad, as the program and a user meet them:
// the library's exports from separate loads, and zephpad.exe as a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor/button_reader.h"
#include "platform/win32/win32_port_io.h"
#include "platform/win32/win32_desktop.h"
#include "portio/sim/sim_controls.h"

namespace zeph {
namespace {

// build/win32/sim, beside this program's folder.
std::string SimDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.resize(dir.find_last_of('\\'));
  return dir.substr(0, dir.find_last_of('\\') + 1) + "sim\\";
}

struct PadRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
};

PadRun RunPad(const std::string& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  PadRun run;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = writeEnd;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + SimDir() + "zephpad.exe\" " + args;
  const BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (started) {
    char buf[512];
    DWORD n = 0;
    while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n) run.out.append(buf, n);
    WaitForSingleObject(pi.hProcess, 10000);
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(readEnd);
  return run;
}

struct NoTimer : IPollTimer {
  void SetPeriod(unsigned) override {}
};

TEST(PortIOSimTest, PressWaitsAcrossLoadsAndTheProgramTakesItOnce) {
  const std::string dll = SimDir() + PORTIO_DLL_NAME;
  {
    Win32PortIO pad(dll.c_str());
    ASSERT_TRUE(pad.Loaded());
    HMODULE m = GetModuleHandleA(dll.c_str());
    auto setChipset = reinterpret_cast<ZephSimSetChipsetFn>(
        reinterpret_cast<void*>(GetProcAddress(m, ZEPHSIM_SET_CHIPSET_EXPORT)));
    auto press = reinterpret_cast<ZephSimPressFn>(reinterpret_cast<void*>(GetProcAddress(m, ZEPHSIM_PRESS_EXPORT)));
    ASSERT_TRUE(setChipset && press);
    EXPECT_TRUE(setChipset(1));
    EXPECT_TRUE(press(2));
    EXPECT_FALSE(press(5));
  }
  ASSERT_EQ(GetModuleHandleA(dll.c_str()), nullptr);  // unloaded: the press lives in the file only

  Win32PortIO program(dll.c_str());
  Win32Sleeper sleeper;
  NoTimer timer;
  ButtonReader reader(program, sleeper);
  EXPECT_EQ(reader.ReadCode(timer), 2);
  EXPECT_EQ(reader.ReadCode(timer), 0);
  // The acknowledgement reaches another process: the firmware's nibble alone is left.
  const std::string shown = RunPad("show").out;
  EXPECT_NE(shown.find("(first bank): 0x05\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("press waiting: none\n"), std::string::npos) << shown;
}

TEST(ZephpadTest, CommandsReachTheProgramsLibraryAndBadArgumentsGetUsage) {
  struct Case {
    const char* args;
    DWORD exitCode;
    const char* output;
    int codeForProgram;  // what the program's next read finds; -1: not read
  };
  const Case cases[] = {
      {"chipset other", 0, "vendor 0x8086", -1},
      {"press 4", 0, "register 0xE0 (second bank): 0x04\npress waiting: button 4", 4},
      {"raw 0x9C", 0, "register 0xE0 (second bank): 0x9C\npress waiting: none", 0x9C},
      {"chipset sis", 0, "vendor 0x1039", -1},
      {"raw 0x31", 0, "register 0x7B (first bank): 0x31\n", 3},
      {"press 1", 0, "press waiting: button 1", -1},
      {"show", 0, "press waiting: button 1", 1},
      {"press 5", 2, "usage: zephpad [press 1..4 | raw 0xNN | chipset sis|other | show]\n", -1},
      {"raw 0x100", 2, "usage: zephpad", -1},
      {"chipset intel", 2, "usage: zephpad", -1},
      {"show all", 2, "usage: zephpad", -1},
  };
  Win32PortIO program((SimDir() + PORTIO_DLL_NAME).c_str());
  Win32Sleeper sleeper;
  NoTimer timer;
  ButtonReader reader(program, sleeper);
  for (const Case& c : cases) {
    const PadRun run = RunPad(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_NE(run.out.find(c.output), std::string::npos) << c.args << ":\n" << run.out;
    if (c.codeForProgram >= 0) {
      EXPECT_EQ(reader.ReadCode(timer), c.codeForProgram) << c.args;
    }
  }
}

}  // namespace
}  // namespace zeph

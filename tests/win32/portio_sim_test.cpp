// The simulator's PortIO.dll and the pad as a user meets them: zephpad.exe run
// as a child process, and the program's reader on a fresh load of the library
// after each run, so every step crosses a process and an unload.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor/button_reader.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_port_io.h"

namespace zeph {
namespace {

// build/win32/sim, beside this program's folder.
std::string SimDir() {
  char path[MAX_PATH] = "";
  std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  dir.resize(dir.find_last_of('\\'));
  return dir.substr(0, dir.find_last_of('\\') + 1) + "sim\\";
}

// Runs the pad with its standard output on a pipe; the output and the exit code.
std::string RunPad(const std::string& args, DWORD* exitCode) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  std::string out;
  *exitCode = 0xFFFFFFFF;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return out;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = writeEnd;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + SimDir() + "zephpad.exe\" " + args;
  const BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  char buf[512];
  DWORD n = 0;
  if (started) {
    while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(readEnd);
  return out;
}

TEST(PortIOSimTest, PadCommandsWaitForTheProgramAcrossProcessesAndLoads) {
  struct Case {
    const char* args;
    DWORD exitCode;
    const char* output;
    int code;  // what the program reads next, through a fresh load; -1: not read
  };
  const Case cases[] = {
      {"chipset sis", 0, "vendor 0x1039", -1},
      {"press 2", 0, "register 0x7B (first bank): 0x25\n", 2},
      {"show", 0, "(first bank): 0x05\nregister 0xE0 (second bank): 0x00\npress waiting: none\n", -1},
      {"raw 0x31", 0, "press waiting: button 3\n", 3},
      {"chipset other", 0, "vendor 0x8086", -1},
      {"press 4", 0, "register 0xE0 (second bank): 0x04\npress waiting: button 4\n", 4},
      {"raw 0x9C", 0, "(second bank): 0x9C\npress waiting: none\n", 0x9C},
      {"show", 0, "(second bank): 0x00\n", 0},
      {"press 5", 2, "usage: zephpad [press 1..4 | raw 0xNN | chipset sis|other | show]\n", -1},
      {"raw 0x100", 2, "usage: zephpad", -1},
      {"chipset intel", 2, "usage: zephpad", -1},
      {"show all", 2, "usage: zephpad", -1},
  };
  for (const Case& c : cases) {
    DWORD exitCode = 0;
    const std::string out = RunPad(c.args, &exitCode);
    EXPECT_EQ(exitCode, c.exitCode) << c.args;
    EXPECT_NE(out.find(c.output), std::string::npos) << c.args << ":\n" << out;
    if (c.code < 0) continue;
    Win32PortIO program((SimDir() + PORTIO_DLL_NAME).c_str());
    ASSERT_TRUE(program.Loaded());
    struct : IPollTimer {
      void SetPeriod(unsigned) override {}
    } timer;
    Win32Sleeper sleeper;
    EXPECT_EQ(ButtonReader(program, sleeper).ReadCode(timer), c.code) << c.args;
  }
}

}  // namespace
}  // namespace zeph

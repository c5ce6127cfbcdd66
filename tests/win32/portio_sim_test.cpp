// The simulator's PortIO.dll and the pad as a user meets them: zephpad.exe run as
// a child process, "zephpad" typed at a command prompt, and the program's reader on
// a fresh load of the library after each run, so every step crosses a process and
// an unload. And the program's library missing altogether.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/button_reader.h"
#include "test_support.h"

namespace zeph {
namespace {

TEST(PortIOSimTest, PadCommandsWaitForTheProgramAcrossProcessesAndLoads) {
  // code: what the program reads next, through a fresh load; -1: not read
  struct Case { const char* args; DWORD exitCode; const char* output; int code; };
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
    const std::string out = test::Pad(c.args, &exitCode);
    EXPECT_EQ(exitCode, c.exitCode) << c.args;
    EXPECT_NE(out.find(c.output), std::string::npos) << c.args << ":\n" << out;
    if (c.code < 0) continue;
    Win32PortIO program((test::SimDir() + PORTIO_DLL_NAME).c_str());
    ASSERT_TRUE(program.Loaded());
    struct : IPollTimer { void SetPeriod(unsigned) override {} } timer;
    Win32Sleeper sleeper;
    EXPECT_EQ(ButtonReader(program, sleeper).ReadCode(timer), c.code) << c.args;
  }
}

// A command interpreter at its prompt in the simulator set's folder, typed at
// one line at a time: each line goes in once the prompt is back.
class Prompt {
 public:
  Prompt() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    CreatePipe(&si.hStdInput, &m_in, &inherit, 0);
    CreatePipe(&m_out, &si.hStdOutput, &inherit, 0);
    si.hStdError = si.hStdOutput;
    for (HANDLE ours : {m_in, m_out}) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    char cmd[] = "cmd.exe";
    CreateProcessA(nullptr, cmd, nullptr, nullptr, TRUE, 0, nullptr, test::SimDir().c_str(), &si, &m_pi);
    for (HANDLE theirs : {si.hStdInput, si.hStdOutput}) CloseHandle(theirs);
    Type("prompt ZEPH$G");
  }
  ~Prompt() {
    Type("exit");
    if (test::ExitCode(m_pi.hProcess, 5000) == STILL_ACTIVE) TerminateProcess(m_pi.hProcess, 1);
    for (HANDLE h : {m_in, m_out, m_pi.hProcess, m_pi.hThread}) CloseHandle(h);
  }

  // What came back for the line: up to and with the next prompt, and whatever
  // follows it within a second.
  std::string Type(const std::string& line) {
    const std::string typed = line + "\r\n";
    DWORD n = 0;
    WriteFile(m_in, typed.data(), static_cast<DWORD>(typed.size()), &n, nullptr);
    std::string out;
    const auto read = [&] {  // what is waiting in the pipe, without blocking
      char buf[512];
      while (PeekNamedPipe(m_out, nullptr, 0, nullptr, &n, nullptr) && n && ReadFile(m_out, buf, sizeof buf, &n, nullptr) && n)
        out.append(buf, n);
    };
    test::WaitUntil([&] { return read(), out.find(kPrompt) != std::string::npos; }, 10000);
    Sleep(1000);
    read();
    return out;
  }
  static constexpr const char* kPrompt = "ZEPH>";

 private:
  HANDLE m_in = nullptr, m_out = nullptr;
  PROCESS_INFORMATION m_pi = {};
};

// "zephpad ..." typed at a console prompt, as the README has the user check a
// notebook: the output comes before the next prompt, and the exit code is the
// command's. A command interpreter does not wait for a windowed program.
TEST(PortIOSimTest, PadTypedAtAPromptPrintsBeforeThePromptReturnsWithItsExitCode) {
  Prompt prompt;
  struct Case { const char* line; const char* output; int exitCode; } cases[] = {
      {"zephpad chipset sis", "vendor 0x1039", 0},
      {"zephpad press 3", "register 0x7B (first bank): 0x3", 0},
      {"zephpad show", "press waiting: button 3", 0},
      {"zephpad raw 0x100", "usage: zephpad", 2},
      {"zephpad raw 0x00", "press waiting: none", 0},
  };
  for (const Case& c : cases) {
    const std::string out = prompt.Type(c.line);
    const size_t printed = out.find(c.output);
    EXPECT_NE(printed, std::string::npos) << c.line << ":\n" << out;
    // The prompt back after it, and nothing after the prompt.
    EXPECT_EQ(out.rfind(Prompt::kPrompt), out.size() - std::strlen(Prompt::kPrompt)) << c.line << ":\n" << out;
    EXPECT_LT(printed, out.rfind(Prompt::kPrompt)) << c.line << ":\n" << out;
    EXPECT_NE(prompt.Type("echo exit code %errorlevel%").find("exit code " + std::to_string(c.exitCode)),
              std::string::npos) << c.line;
  }
  // Without arguments the pad's window opens, and the prompt is back at once.
  EXPECT_EQ(prompt.Type("zephpad").find("usage"), std::string::npos);
  HWND pad = test::WaitForWindow("Zephra Button Pad", 30000);
  ASSERT_NE(pad, nullptr);
  PostMessageA(pad, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(test::WaitGone(pad));
}

TEST(PortIOTest, MissingLibraryReadsZeroAndSeesNoPress) {
  Win32PortIO ports("zeph-no-such-portio.dll");
  EXPECT_FALSE(ports.Loaded());
  EXPECT_EQ(ports.Read(0xCFC, kPortWord), 0u);
  ports.Write(0x70, 0x7B, kPortByte);  // goes nowhere, must not crash
  struct : IPollTimer { int calls = 0; void SetPeriod(unsigned) override { ++calls; } } timer;
  Win32Sleeper sleeper;
  EXPECT_EQ(ButtonReader(ports, sleeper).ReadCode(timer), 0);
  EXPECT_EQ(timer.calls, 0);
}

}  // namespace
}  // namespace zeph

// The simulator's PortIO.dll and the pad as a user meets them: zephpad.exe run as
// a child process, "zephpad" typed at a command prompt, and the program's reader on
// a fresh load of the library after each run, so every step crosses a process and
// an unload. And the program's library missing altogether.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
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

// "zephpad ..." typed at a console prompt, as the README has the user check a
// notebook: the output comes before the next prompt, and the exit code is the
// command's. A command interpreter does not wait for a windowed program.
TEST(PortIOSimTest, PadTypedAtAPromptPrintsBeforeThePromptReturnsWithItsExitCode) {
  test::Process cmd("cmd.exe", 0, true, test::SimDir().c_str());
  size_t from = 0;
  std::string group;  // of the last match
  // What came since the last call, up to and with the next match: the
  // interpreter reads a line only once its prompt is back.
  const auto until = [&](const std::regex& pattern) {
    std::string out;
    std::smatch m;
    test::WaitUntil([&] { return std::regex_search(out = cmd.Read().substr(from), m, pattern); });
    group = m.size() > 1 ? m.str(1) : "";
    out.resize(m.empty() ? 0 : m.position(0) + m.length(0));
    from += out.size();
    return out;
  };
  const std::regex prompt("ZEPH>"), done("exit ([0-9]+) end");
  cmd.Type("prompt ZEPH$G\r\n");
  until(prompt);
  // The line's output up to the echo of its exit code, which the interpreter
  // runs only once the line is done; and that code.
  const auto type = [&](const std::string& line, std::string& out) {
    cmd.Type(line + "\r\n");
    out = until(prompt);
    cmd.Type("echo exit %errorlevel% end\r\n");
    out += until(done);
    const int code = group.empty() ? -1 : std::stoi(group);
    until(prompt);
    return code;
  };
  struct Case { const char* line; const char* output; int exitCode; } cases[] = {
      {"zephpad chipset sis", "vendor 0x1039", 0},
      {"zephpad press 3", "register 0x7B (first bank): 0x3", 0},
      {"zephpad show", "press waiting: button 3", 0},
      {"zephpad raw 0x100", "usage: zephpad", 2},
      {"zephpad raw 0x00", "press waiting: none", 0},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(type(c.line, out), c.exitCode) << c.line;
    // Printed before the prompt came back.
    EXPECT_LT(out.find(c.output), out.find("ZEPH>")) << c.line << ":\n" << out;
  }
  // Without arguments the pad's window opens, and the prompt is back at once.
  std::string out;
  EXPECT_EQ(type("zephpad", out), 0);
  HWND pad = test::WaitForWindow("Zephra Button Pad");
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

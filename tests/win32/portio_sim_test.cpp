// The simulator's PortIO.dll and the pad as a user meets them, and the
// program's library missing altogether.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "monitor/button_reader.h"
#include "test_support.h"

namespace zeph {
namespace {

// "zephpad ..." typed at a console prompt, as the README has the user check a
// notebook: its output comes before the next prompt and its exit code is the
// command's; the program's reader, on a fresh load of the library after each
// line, sees what it did, so every step crosses a process and an unload. A
// command interpreter does not wait for the pad's window.
TEST(PortIOSimTest, PadTypedAtAPromptReachesTheProgramAcrossProcessesAndLoads) {
  test::Process cmd("cmd.exe", 0, true, test::SimDir().c_str());
  size_t from = 0;
  std::string group;  // of the last match
  // What came since the last call, up to and with the next match: the
  // interpreter reads a line only once its prompt is back.
  const auto until = [&](const char* pattern) {
    std::string out;
    std::smatch m;
    test::WaitUntil([&] { return std::regex_search(out = cmd.Read().substr(from), m, std::regex(pattern)); },
                    std::string("the prompt's ") + pattern);
    group = m.size() > 1 ? m.str(1) : "";
    out.resize(m.empty() ? 0 : m.position(0) + m.length(0));
    from += out.size();
    return out;
  };
  cmd.Type("prompt ZEPH$G\r\n");
  until("ZEPH>");
  // The line's output up to the echo of its exit code, which the interpreter
  // runs only once the line is done; and that code.
  const auto type = [&](const std::string& line, std::string& out) {
    cmd.Type(line + "\r\n");
    out = until("ZEPH>");
    cmd.Type("echo exit %errorlevel% end\r\n");
    out += until("exit ([0-9]+) end");
    const int code = group.empty() ? -1 : std::stoi(group);
    until("ZEPH>");
    return code;
  };
  // code: what the program reads next; -1: not read
  const struct { const char* args; int exitCode; const char* output; int code; } cases[] = {
      {"chipset sis", 0, "vendor 0x1039", -1},
      {"press 2", 0, "register 0x7B (first bank): 0x25", 2},
      {"show", 0, "(first bank): 0x05", -1},  // acknowledged, the firmware's nibble kept
      {"raw 0x31", 0, "press waiting: button 3", 3},
      {"chipset other", 0, "vendor 0x8086", -1},
      {"press 4", 0, "register 0xE0 (second bank): 0x04", 4},
      {"raw 0x9C", 0, "press waiting: none", 0x9C},
      {"show", 0, "(second bank): 0x00", 0},
      {"press 5", 2, "usage: zephpad [press 1..4 | raw 0xNN | chipset sis|other | show]", -1},
      {"raw 0x100", 2, "usage: zephpad", -1},
      {"chipset intel", 2, "usage: zephpad", -1},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(type(std::string("zephpad ") + c.args, out), c.exitCode) << c.args;
    EXPECT_LT(out.find(c.output), out.find("ZEPH>")) << c.args << ":\n" << out;  // before the prompt
    if (c.code < 0) continue;
    Win32PortIO program((test::SimDir() + PORTIO_DLL_NAME).c_str());
    ASSERT_TRUE(program.Loaded());
    struct : IPollTimer { void SetPeriod(unsigned) override {} } timer;
    Win32Sleeper sleeper;
    EXPECT_EQ(ButtonReader(program, sleeper).ReadCode(timer), c.code) << c.args;
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

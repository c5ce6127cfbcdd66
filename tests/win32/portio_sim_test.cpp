// The simulator's PortIO.dll and the pad as a user meets them: zephpad.exe run
// as a child process, and the program's reader on a fresh load of the library
// after each run, so every step crosses a process and an unload. And the
// program's library missing altogether.
#include <windows.h>

#include <gtest/gtest.h>

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

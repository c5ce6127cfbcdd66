#include "monitor/launch_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"
#include "platform/command_line.h"
#include "portio/chipset_sim.h"

namespace zeph {
namespace {

class LaunchDispatchTest : public ::testing::Test {
 protected:
  fake::Registry reg;
  fake::Windows windows;
  fake::MessageBoxes boxes;
  fake::Starter starter;
  fake::Timer timer;
  fake::Sleeper sleeper;
  ChipsetSim chip{ChipsetSim::kSisVendor};
  SlotStore slots{reg, windows};
  ButtonReader reader{chip, sleeper};
  LaunchDispatch dispatch{slots, reader, starter, windows, boxes};
  bool firstRun = true;

  void Store(const char* name, const std::string& text) { reg.PutString(kSlotKeyPath, name, text); }
  ButtonCode Press(int n) {
    chip.PressButton(n);
    return dispatch.OnPollTick(firstRun, timer);
  }
};

// Each press reloads its own slot (pending and current) from the registry
// before the line is built from the current texts. The Properties window is
// open and the key refuses writes, so the tick's refresh neither reloads the
// in-memory texts nor overwrites the stored ones: only the reload joins them.
TEST_F(LaunchDispatchTest, EachCodeReloadsItsOwnSlotThenStartsItsLine) {
  dispatch.OnPollTick(firstRun, timer);
  const char* stored[] = {"C:\\Web\\web.exe", "one.example", "two.example", "C:\\Mail\\mail.exe"};
  for (int n = 1; n <= 4; ++n) Store(slots.Name(n), stored[n - 1]);
  windows.titles.insert(kPropertiesTitle);
  reg.failWrites = true;
  // In memory: "m1", "m2", an empty S3 (the line keeps its space), "m4".
  const auto memory = [](int n) { return n == 3 ? std::string() : "m" + std::to_string(n); };
  const char* lines[] = {"C:\\Web\\web.exe", "m4", "m1 m2", "m1 "};
  for (int code = 1; code <= 4; ++code) {
    for (int n = 1; n <= 4; ++n) {
      slots.SetCurrent(n, memory(n));
      slots.SetPending(n, memory(n));
    }
    starter.started.clear();
    EXPECT_EQ(Press(code), code);
    EXPECT_EQ(starter.started, std::vector<std::string>{lines[code - 1]}) << code;
    for (int n = 1; n <= 4; ++n) {
      const std::string expected = n == code ? stored[n - 1] : memory(n);
      EXPECT_EQ(slots.Pending(n), expected) << "code " << code << " slot " << n;
      EXPECT_EQ(slots.Current(n), expected) << "code " << code << " slot " << n;
    }
  }
  EXPECT_EQ(starter.shows, (std::vector<int>{5, 5, 5, 5}));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(CommandLineTest, OnlyAPlainProgramPathWithASpaceIsQuoted) {
  const std::string longArg = "http://" + std::string(260, 'a');
  const std::string quotedArg = "\"" + longArg + "\"";
  const std::string longPath = "C:\\" + std::string(250, 'd') + " x\\b.exe";
  struct Case {
    std::string program;
    bool namesFile;
    const std::string* argument;
    std::string expected;
  } cases[] = {
      {"C:\\Tools\\b.exe", false, nullptr, "C:\\Tools\\b.exe"},
      {"C:\\My Tools\\b.exe", false, nullptr, "\"C:\\My Tools\\b.exe\""},
      {"C:\\My Tools\\B.COM", false, &longArg, ("\"C:\\My Tools\\B.COM\" " + longArg).substr(0, 255)},
      {"C:\\My Tools\\browser", true, nullptr, "\"C:\\My Tools\\browser\""},  // exists, no extension
      {"C:\\My Tools\\browser", false, nullptr, "C:\\My Tools\\browser"},
      {"\"C:\\a b\\m.exe\" -a", false, nullptr, "\"C:\\a b\\m.exe\" -a"},  // quoted, with arguments
      {"C:\\ab\\m.exe -b", false, nullptr, "C:\\ab\\m.exe -b"},          // a program and its argument
      {longPath, false, nullptr, longPath.substr(0, 255)},  // no room for its closing quote: unquoted
      // A quote the cut would leave open goes, with what follows it.
      {"C:\\b.exe", false, &quotedArg, "C:\\b.exe "},
  };
  for (const Case& c : cases) {
    const std::string line = BuildCommandLine(c.program, c.namesFile, c.argument);
    EXPECT_EQ(line, c.expected) << c.program;
    EXPECT_EQ(std::count(line.begin(), line.end(), '"') % 2, 0) << c.program;
  }
}

TEST_F(LaunchDispatchTest, NoPressLaunchesNothing) {
  ChipsetSim ext(ChipsetSim::kOtherVendor);
  ButtonReader r(ext, sleeper);
  LaunchDispatch d(slots, r, starter, windows, boxes);
  for (uint8_t raw : {0x00, 0x05, 0xFF}) {
    ext.SetCmos(1, 0xE0, raw);
    EXPECT_EQ(d.OnPollTick(firstRun, timer), raw);
  }
  EXPECT_TRUE(starter.started.empty());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(reg.HasKey(kSlotKeyPath));  // refresh still ran
}

TEST_F(LaunchDispatchTest, FailedStartsShowTheirMessageOnceAtATime) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "The system is out of memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
      {1, nullptr}, {5, nullptr}, {32, nullptr}, {33, nullptr},
  };
  for (const auto& [result, text] : cases) {
    boxes.shown.clear();
    starter.result = result;
    Press(1);
    ASSERT_EQ(boxes.shown.size(), text ? 1u : 0u) << result;
    if (!text) continue;
    EXPECT_EQ(boxes.shown[0].text, text);
    EXPECT_EQ(boxes.shown[0].caption, "WinExec() error call");
    EXPECT_EQ(boxes.shown[0].flags, 0x10u);
  }
}

}  // namespace
}  // namespace zeph

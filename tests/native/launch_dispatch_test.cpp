#include "monitor/launch_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"
#include "platform/command_line.h"

namespace zeph {
namespace {

class LaunchDispatchTest : public ::testing::Test, protected fake::Program {
 protected:
  bool firstRun = true;
};

// Each press reloads its own slot (pending and current) from the registry before
// the line is built from the current texts. With Properties open and the key
// refusing writes, the tick's refresh neither reloads the texts nor stores them.
TEST_F(LaunchDispatchTest, EachCodeReloadsItsOwnSlotThenStartsItsLine) {
  dispatch.OnPollTick(firstRun, timer);
  const char* stored[] = {"C:\\Web\\web.exe", "one.example", "two.example", "C:\\Mail\\mail.exe"};
  for (int n = 1; n <= 4; ++n) reg.PutString(kSlotKeyPath, slots.Name(n), stored[n - 1]);
  windows.titles.insert(kPropertiesTitle);
  reg.failWrites = true;
  // In memory: "m1", "m2", an empty S3 (the line keeps its space), "m4".
  const auto memory = [](int n) { return n == 3 ? std::string() : "m" + std::to_string(n); };
  const char* lines[] = {"C:\\Web\\web.exe|5", "m4|5", "m1 m2|5", "m1 |5"};
  for (int code = 1; code <= 4; ++code) {
    for (int n = 1; n <= 4; ++n) {
      slots.SetCurrent(n, memory(n));
      slots.SetPending(n, memory(n));
    }
    starter.started.clear();
    chip.PressButton(code);
    EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), code);
    EXPECT_EQ(starter.started, std::vector<std::string>{lines[code - 1]}) << code;
    for (int n = 1; n <= 4; ++n) {
      const std::string expected = n == code ? stored[n - 1] : memory(n);
      EXPECT_EQ(slots.Pending(n) + "|" + slots.Current(n), expected + "|" + expected) << code << " " << n;
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

// The key stays open and watched between ticks, and Windows need not tell the
// watch that the key was deleted: the idle ticks carry on with what they knew.
// A press must still find its slot as a tick that opens the key afresh would:
// the key back, its missing values with their defaults.
TEST_F(LaunchDispatchTest, APressAfterTheKeyOrAValueWentFindsTheDefaults) {
  reg.watchable = true;
  // The default programs' paths hold spaces: the line quotes them.
  const std::string browser = "\"" + std::string(kDefaultBrowser) + "\"", mailer = "\"" + std::string(kDefaultMailer) + "\"";
  const std::string kept[] = {"C:\\Web\\web.exe", "one.example", "two.example", "C:\\Mail\\mail.exe"};
  struct Case {
    const char* gone;  // the value deleted, or null for the whole key
    int code;
    std::string line;
    std::vector<std::string> stored;  // S1..S4 afterwards
  } cases[] = {
      {nullptr, 1, browser, {kDefaultBrowser, kDefaultAddress, "", kDefaultMailer}},
      {nullptr, 2, mailer, {kDefaultBrowser, kDefaultAddress, "", kDefaultMailer}},
      {nullptr, 4, browser + " ", {kDefaultBrowser, kDefaultAddress, "", kDefaultMailer}},
      {"S1", 1, browser, {kDefaultBrowser, kept[1], kept[2], kept[3]}},
      {"S2", 2, kept[3], {kept[0], kDefaultAddress, kept[2], kept[3]}},  // code 2 reloads S2
      {"S3", 3, kept[0] + " " + kept[1], {kept[0], kept[1], "", kept[3]}},
      {"S4", 4, kept[0] + " " + kept[2], {kept[0], kept[1], kept[2], kDefaultMailer}},
  };
  for (const Case& c : cases) {
    for (int n = 1; n <= 4; ++n) reg.PutString(kSlotKeyPath, slots.Name(n), kept[n - 1]);
    dispatch.OnPollTick(firstRun, timer);
    dispatch.OnPollTick(firstRun, timer);
    // Deleted as Windows may do it: the watch hears nothing.
    c.gone ? void(reg.keys[kSlotKeyPath].erase(c.gone)) : void(reg.keys.erase(kSlotKeyPath));
    reg.calls = 0;
    dispatch.OnPollTick(firstRun, timer);
    EXPECT_EQ(reg.calls, 1) << c.line;  // the idle tick only asks whether anything changed
    starter.started.clear();
    chip.PressButton(c.code);
    EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), c.code);
    EXPECT_EQ(starter.started, std::vector<std::string>{c.line + "|5"});
    for (int n = 1; n <= 4; ++n) {
      const RegValue* v = reg.Value(kSlotKeyPath, slots.Name(n));
      EXPECT_TRUE(v && v->data.size() == 256 && DecodeSlotValue(*v) == c.stored[n - 1]) << c.line << " S" << n;
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

// Each logged-on user's copy polls the same register: only the copy in the
// console's session reads it, and a press waits there for that copy.
TEST_F(LaunchDispatchTest, OnlyTheCopyInTheConsolesSessionReadsTheRegister) {
  dispatch.OnPollTick(firstRun, timer);
  chip.PressButton(1);
  session.console = false;
  chip.ResetCounters();
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), 0);
  EXPECT_EQ(chip.Accesses(), 0u);
  EXPECT_TRUE(starter.started.empty() && timer.periods.empty());
  session.console = true;  // switched back to this user
  EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), 1);
  EXPECT_EQ(starter.started, std::vector<std::string>{"\"" + std::string(kDefaultBrowser) + "\"|5"});
}

TEST(CommandLineTest, OnlyAPlainProgramPathWithASpaceIsQuoted) {
  const std::string longArg = "http://" + std::string(260, 'a'), quotedArg = "\"" + longArg + "\"";
  const std::string longPath = "C:\\" + std::string(250, 'd') + " x\\b.exe";
  struct Case { std::string program; bool namesFile; const std::string* argument; std::string expected; } cases[] = {
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
  fake::Program ext(ChipsetSim::kOtherVendor);
  for (uint8_t raw : {0x00, 0x05, 0xFF}) {
    ext.chip.SetCmos(1, 0xE0, raw);
    EXPECT_EQ(ext.dispatch.OnPollTick(firstRun, ext.timer), raw);
  }
  EXPECT_TRUE(ext.starter.started.empty() && ext.boxes.shown.empty());
  EXPECT_TRUE(ext.reg.HasKey(kSlotKeyPath));  // refresh still ran
}

TEST_F(LaunchDispatchTest, FailedStartsShowTheirMessageOnceAtATime) {
  const std::pair<uint32_t, std::string> cases[] = {
      {0, "The system is out of memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
      {1, ""}, {5, ""}, {32, ""}, {33, ""},
      {2, ""},  // while the last one is still open
  };
  for (const auto& [result, text] : cases) {
    if (&result == &cases[8].first) windows.titles.insert(kLaunchErrorCaption);
    boxes.shown.clear();
    starter.result = result;
    chip.PressButton(1);
    dispatch.OnPollTick(firstRun, timer);
    const auto expected = text.empty() ? std::vector<std::string>{} : std::vector{"WinExec() error call|" + text + "|16"};
    EXPECT_EQ(boxes.shown, expected) << result;
  }
}

}  // namespace
}  // namespace zeph

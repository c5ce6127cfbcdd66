#include "monitor/launch_dispatch.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/command_line.h"

namespace zeph {
namespace {

// On the other chipset a register value is the code itself, whatever it is.
class LaunchDispatchTest : public ::testing::Test, protected fake::Program {
 protected:
  LaunchDispatchTest() : fake::Program(ChipsetSim::kOtherVendor) {}
  bool firstRun = true;
  static std::vector<std::string> Started(const std::string& line) {
    return line.empty() ? std::vector<std::string>{} : std::vector<std::string>{line + "|5"};
  }
};

// A press reloads its own slot (pending and current) from the registry, then
// the line is built from the current texts; other values start nothing. With
// Properties open and the key refusing writes, the tick's refresh neither
// reloads the texts nor stores them. A failed start shows one box, and none
// while one is open.
TEST_F(LaunchDispatchTest, APressReloadsItsOwnSlotThenStartsItsLine) {
  dispatch.OnPollTick(firstRun, timer);
  const char* stored[] = {"C:\\Web\\web.exe", "one.example", "two.example", "C:\\Mail\\mail.exe"};
  for (int n = 1; n <= 4; ++n) reg.PutString(kSlotKeyPath, slots.Name(n), stored[n - 1]);
  windows.titles.insert(kPropertiesTitle);
  reg.failWrites = true;
  // In memory: "m1", "m2", an empty S3 (the line keeps its space), "m4".
  const auto memory = [](int n) { return n == 3 ? std::string() : "m" + std::to_string(n); };
  const struct { uint8_t code; uint32_t result; bool boxOpen; std::string line; size_t boxes; } cases[] = {
      {1, 33, false, stored[0], 0}, {2, 33, false, "m4", 0}, {3, 33, false, "m1 m2", 0}, {4, 33, false, "m1 ", 0},
      {0, 33, false, "", 0}, {5, 33, false, "", 0}, {0xFF, 2, false, "", 0},  // no button
      {2, 2, false, "m4", 1},  // the program's file is missing
      {2, 2, true, "m4", 0},
      {2, 5, false, "m4", 0},  // refused for another reason: not reported
  };
  for (const auto& c : cases) {
    for (int n = 1; n <= 4; ++n) {
      slots.SetCurrent(n, memory(n));
      slots.SetPending(n, memory(n));
    }
    starter.started.clear();
    boxes.shown = 0;
    starter.result = c.result;
    c.boxOpen ? void(windows.titles.insert(kLaunchErrorCaption)) : void(windows.titles.erase(kLaunchErrorCaption));
    chip.SetButtonByte(c.code);
    EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), c.code);
    EXPECT_EQ(starter.started, Started(c.line)) << int{c.code};
    EXPECT_EQ(boxes.shown, c.boxes) << int{c.code};
    for (int n = 1; n <= 4; ++n) {
      const std::string expected = n == c.code ? stored[n - 1] : memory(n);
      EXPECT_EQ(slots.Pending(n) + "|" + slots.Current(n), expected + "|" + expected) << int{c.code} << " " << n;
    }
  }
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
  const std::vector<std::string> defaults = {kDefaultBrowser, kDefaultAddress, "", kDefaultMailer};
  const struct {
    const char* gone;  // the value deleted, or null for the whole key
    uint8_t code;
    std::string line;
    std::vector<std::string> stored;  // S1..S4 afterwards
  } cases[] = {
      {nullptr, 2, mailer, defaults},
      {nullptr, 4, browser + " ", defaults},
      {"S1", 1, browser, {kDefaultBrowser, kept[1], kept[2], kept[3]}},
      {"S2", 2, kept[3], {kept[0], kDefaultAddress, kept[2], kept[3]}},  // code 2 reloads S2
      {"S3", 3, kept[0] + " " + kept[1], {kept[0], kept[1], "", kept[3]}},
      {"S4", 4, kept[0] + " " + kept[2], {kept[0], kept[1], kept[2], kDefaultMailer}},
  };
  for (const auto& c : cases) {
    for (int n = 1; n <= 4; ++n) reg.PutString(kSlotKeyPath, slots.Name(n), kept[n - 1]);
    dispatch.OnPollTick(firstRun, timer);
    dispatch.OnPollTick(firstRun, timer);
    // Deleted as Windows may do it: the watch hears nothing.
    c.gone ? void(reg.keys[kSlotKeyPath].erase(c.gone)) : void(reg.keys.erase(kSlotKeyPath));
    starter.started.clear();
    chip.SetButtonByte(c.code);
    EXPECT_EQ(dispatch.OnPollTick(firstRun, timer), c.code);
    EXPECT_EQ(starter.started, Started(c.line));
    for (int n = 1; n <= 4; ++n) {
      const RegValue* v = reg.Value(kSlotKeyPath, slots.Name(n));
      EXPECT_TRUE(v && v->data.size() == 256 && DecodeSlotValue(*v) == c.stored[n - 1]) << c.line << " S" << n;
    }
  }
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
  EXPECT_EQ(starter.started, Started("\"" + std::string(kDefaultBrowser) + "\""));
}

TEST(CommandLineTest, OnlyAPlainProgramPathWithASpaceIsQuoted) {
  const std::string longArg = "http://" + std::string(260, 'a'), quotedArg = "\"" + longArg + "\"";
  const std::string longPath = "C:\\" + std::string(250, 'd') + " x\\b.exe";
  const struct { std::string program; bool namesFile; const std::string* argument; std::string expected; } cases[] = {
      {"C:\\Tools\\b.exe", false, nullptr, "C:\\Tools\\b.exe"},
      {"C:\\My Tools\\b.exe", false, nullptr, "\"C:\\My Tools\\b.exe\""},
      {"C:\\My Tools\\B.COM", false, &longArg, ("\"C:\\My Tools\\B.COM\" " + longArg).substr(0, 255)},
      {"C:\\My Tools\\browser", true, nullptr, "\"C:\\My Tools\\browser\""},  // exists, no extension
      {"\"C:\\a b\\m.exe\" -a", false, nullptr, "\"C:\\a b\\m.exe\" -a"},  // quoted, with arguments
      {longPath, false, nullptr, longPath.substr(0, 255)},  // no room for its closing quote: unquoted
      // A quote the cut would leave open goes, with what follows it.
      {"C:\\b.exe", false, &quotedArg, "C:\\b.exe "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildCommandLine(c.program, c.namesFile, c.argument), c.expected) << c.program;
  }
}

}  // namespace
}  // namespace zeph

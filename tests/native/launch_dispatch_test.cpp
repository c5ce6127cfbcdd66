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

TEST_F(LaunchDispatchTest, EachButtonStartsItsCommandLine) {
  Store("S1", "C:\\Browser\\web.exe");
  Store("S2", "www.one.example");
  Store("S3", "www.two.example");
  Store("S4", "C:\\Mail\\mail.exe");
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(Press(n), n);
  EXPECT_EQ(starter.started, (std::vector<std::string>{
                                 "C:\\Browser\\web.exe",
                                 "C:\\Mail\\mail.exe",
                                 "C:\\Browser\\web.exe www.one.example",
                                 "C:\\Browser\\web.exe www.two.example",
                             }));
  EXPECT_EQ(starter.shows, (std::vector<int>{5, 5, 5, 5}));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LaunchDispatchTest, ButtonTwoReloadsS2ButStartsTheMailer) {
  dispatch.OnPollTick(firstRun, timer);  // first tick: defaults in place
  slots.SetPending(2, "edited, not saved");
  slots.SetPending(4, "browse choice");
  Store("S2", "stored.example");
  Press(2);
  EXPECT_EQ(slots.Pending(2), "stored.example");
  EXPECT_EQ(slots.Pending(4), "browse choice");
  ASSERT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(starter.started[0], std::string("\"") + kDefaultMailer + "\"");
}

TEST_F(LaunchDispatchTest, DefaultBrowserIsQuotedAndAddressPassedAsStored) {
  // Button 3 on a fresh machine: the default browser under "Program Files".
  Store("S2", "http://a.example/?q=x y");
  Press(3);
  Store("S3", "");
  Press(4);
  ASSERT_EQ(starter.started.size(), 2u);
  EXPECT_EQ(starter.started[0], std::string("\"") + kDefaultBrowser + "\" http://a.example/?q=x y");
  EXPECT_EQ(starter.started[1], std::string("\"") + kDefaultBrowser + "\" ");  // empty S3: trailing space
}

TEST(CommandLineTest, OnlyAPlainProgramPathWithASpaceIsQuoted) {
  const std::string longDir = "C:\\" + std::string(250, 'd') + " x\\";
  const std::string longArg = "http://" + std::string(260, 'a');
  const std::string quotedArg = "\"" + longArg + "\"";
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
      // Too long to keep its closing quote: the path goes unquoted.
      {longDir + "b.exe", false, nullptr, (longDir + "b.exe").substr(0, 255)},
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
  for (uint8_t raw : {0x00, 0x05, 0xFF}) {
    ChipsetSim ext(0x8086);
    ButtonReader r(ext, sleeper);
    LaunchDispatch d(slots, r, starter, windows, boxes);
    ext.SetCmos(1, 0xE0, raw);
    EXPECT_EQ(d.OnPollTick(firstRun, timer), raw);
  }
  EXPECT_TRUE(starter.started.empty());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(reg.HasKey(kSlotKeyPath));  // refresh still ran
}

TEST_F(LaunchDispatchTest, FailedStartsShowTheirMessageOnceAtATime) {
  struct Case {
    uint32_t result;
    const char* text;
  };
  const Case cases[] = {
      {0, "The system is out of memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},  // what Windows answers for a missing folder
      {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
  };
  for (const Case& c : cases) {
    boxes.shown.clear();
    starter.result = c.result;
    Press(1);
    ASSERT_EQ(boxes.shown.size(), 1u) << c.result;
    EXPECT_EQ(boxes.shown[0].text, c.text);
    EXPECT_EQ(boxes.shown[0].caption, "WinExec() error call");
    EXPECT_EQ(boxes.shown[0].flags, 0x10u);
  }

  // A box from an earlier tick is still open: no second one.
  boxes.shown.clear();
  starter.result = 2;
  windows.titles.insert(kLaunchErrorCaption);
  Press(2);
  EXPECT_TRUE(boxes.shown.empty());

  // Values that are not reported.
  windows.titles.clear();
  for (uint32_t r : {1u, 5u, 31u, 32u, 33u}) {
    starter.result = r;
    Press(1);
  }
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace zeph

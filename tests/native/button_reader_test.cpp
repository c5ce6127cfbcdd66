#include "monitor/button_reader.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "portio/chipset_sim.h"

namespace zeph {
namespace {

class ButtonReaderTest : public ::testing::Test {
 protected:
  ChipsetSim sis{ChipsetSim::kSisVendor};
  fake::Sleeper sleeper;
  fake::Timer timer;
  ButtonReader reader{sis, sleeper};
};

TEST_F(ButtonReaderTest, ProbeLooksAtTheLow16BitsOfTheVendor) {
  EXPECT_EQ(reader.ProbeVariant(), ChipsetVariant::kSis);
  sis.SetPciHighBits(0xABCD0000);
  EXPECT_EQ(reader.ProbeVariant(), ChipsetVariant::kSis);

  ChipsetSim intel(0x8086);
  ButtonReader other(intel, sleeper);
  EXPECT_EQ(other.ProbeVariant(), ChipsetVariant::kExtendedBank);
  intel.SetPciHighBits(0x10390000);  // the vendor's value above bit 15 does not count
  EXPECT_EQ(other.ProbeVariant(), ChipsetVariant::kExtendedBank);
}

TEST_F(ButtonReaderTest, SisValuesOutsideThePressRangeAreNoPressAndChangeNothing) {
  for (uint8_t v : {0x00, 0x0F, 0x50, 0xFF}) {
    sis.SetCmos(0, 0x7B, v);
    sis.ResetCounters();
    EXPECT_EQ(reader.ReadCode(timer), 0) << int(v);
    EXPECT_EQ(sis.ButtonRegisterWrites(), 0u);
    EXPECT_EQ(sis.Cmos(0, 0x7B), v);
    // probe (write + read) and one register read (index write + data read)
    EXPECT_EQ(sis.Accesses(), 4u);
  }
  EXPECT_TRUE(timer.periods.empty());
  EXPECT_TRUE(sleeper.sleeps.empty());
}

TEST_F(ButtonReaderTest, SisPressIsConfirmedAcknowledgedAndReturned) {
  sis.SetCmos(0, 0x7B, 0x03);
  sis.PressButton(2);
  ASSERT_EQ(sis.Cmos(0, 0x7B), 0x23);
  EXPECT_EQ(reader.ReadCode(timer), 2);
  EXPECT_EQ(sis.LastButtonWrite(), 0x03u);
  EXPECT_EQ(sis.Cmos(0, 0x7B), 0x03);  // firmware's low nibble kept
  EXPECT_EQ(timer.periods, (std::vector<unsigned>{30000, 1000}));
  EXPECT_EQ(sleeper.sleeps, (std::vector<unsigned>{5, 5}));
  // The acknowledged register reads as no press next time.
  EXPECT_EQ(reader.ReadCode(timer), 0);
}

TEST_F(ButtonReaderTest, EachButtonMapsToItsNumber) {
  for (int n = 1; n <= 4; ++n) {
    sis.PressButton(n);
    EXPECT_EQ(reader.ReadCode(timer), n);
  }
}

TEST_F(ButtonReaderTest, UnconfirmedPressIsStillAcknowledgedButReturnsNothing) {
  sis.SetCmos(0, 0x7B, 0x23);
  sis.ScriptButtonReads({0x23, 0x00, 0x00, 0x00, 0x00, 0x00});  // first read, then five misses
  EXPECT_EQ(reader.ReadCode(timer), 0);
  EXPECT_EQ(sis.ButtonRegisterWrites(), 1u);
  EXPECT_EQ(sis.LastButtonWrite(), 0x03u);
  EXPECT_EQ(sleeper.sleeps.size(), 5u);
  EXPECT_EQ(timer.periods, (std::vector<unsigned>{30000, 1000}));
}

TEST_F(ButtonReaderTest, AnotherButtonDuringConfirmationCountsAsAMiss) {
  sis.SetCmos(0, 0x7B, 0x20);
  // first read 0x20; re-reads: match, other button, match -> confirmed after 3
  sis.ScriptButtonReads({0x20, 0x20, 0x30, 0x20});
  EXPECT_EQ(reader.ReadCode(timer), 2);
  EXPECT_EQ(sleeper.sleeps.size(), 3u);

  // Four misses then two hits still confirms (the sixth re-read is the last).
  sleeper.sleeps.clear();
  sis.SetCmos(0, 0x7B, 0x40);
  sis.ScriptButtonReads({0x40, 0x30, 0x50, 0x0F, 0x41, 0x40, 0x40});
  EXPECT_EQ(reader.ReadCode(timer), 4);
  EXPECT_EQ(sleeper.sleeps.size(), 6u);

  // A fifth miss ends it, even with a match before.
  sleeper.sleeps.clear();
  sis.SetCmos(0, 0x7B, 0x10);
  sis.ScriptButtonReads({0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(reader.ReadCode(timer), 0);
  EXPECT_EQ(sleeper.sleeps.size(), 6u);
}

TEST_F(ButtonReaderTest, SlowAcknowledgementIsWaitedFor) {
  sis.SetCmos(0, 0x7B, 0x11);
  // first read, two confirmations, then the read-back shows the old code twice
  sis.ScriptButtonReads({0x11, 0x11, 0x11, 0x11, 0x11});
  EXPECT_EQ(reader.ReadCode(timer), 1);
}

TEST_F(ButtonReaderTest, AcknowledgementThatNeverReadsBackGivesUpAfterTheBound) {
  sis.SetCmos(0, 0x7B, 0x35);
  sis.SetAckIgnored(true);
  EXPECT_EQ(reader.ReadCode(timer), 0);
  // first read + 2 confirmations + 0x8000000 failed read-backs, each an index
  // write and a data read
  EXPECT_EQ(sis.Reads(), 1u + 1u + 2u + ButtonReader::kReadBackLimit);
  EXPECT_EQ(ButtonReader::kReadBackLimit, 134217728u);
  EXPECT_EQ(timer.periods, (std::vector<unsigned>{30000, 1000}));
}

TEST_F(ButtonReaderTest, ExtendedBankReturnsTheByteAndWritesItBack) {
  ChipsetSim ext(0x8086);
  ButtonReader r(ext, sleeper);
  ext.PressButton(4);
  EXPECT_EQ(r.ReadCode(timer), 4);
  EXPECT_EQ(ext.LastButtonWrite(), 4u);
  EXPECT_EQ(ext.Cmos(1, 0xE0), 0);  // firmware cleared it on the write-back
  EXPECT_EQ(r.ReadCode(timer), 0);

  // No validation: whatever is there comes back, and is written back as is.
  ext.SetAckIgnored(true);
  ext.SetCmos(1, 0xE0, 0x23);
  EXPECT_EQ(r.ReadCode(timer), 0x23);
  EXPECT_EQ(r.ReadCode(timer), 0x23);  // unchanged firmware: same value again
  EXPECT_EQ(ext.LastButtonWrite(), 0x23u);
  EXPECT_TRUE(timer.periods.empty());
  EXPECT_TRUE(sleeper.sleeps.empty());
}

}  // namespace
}  // namespace zeph

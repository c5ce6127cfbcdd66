#include "monitor/button_reader.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "portio/chipset_sim.h"

namespace zeph {
namespace {

class ButtonReaderTest : public ::testing::Test, protected fake::Program {};

TEST_F(ButtonReaderTest, ProbeLooksAtTheLow16BitsOfTheVendor) {
  for (uint16_t vendor : {ChipsetSim::kSisVendor, ChipsetSim::kOtherVendor})
    for (uint32_t high : {0u, 0xABCD0000u, 0x10390000u}) {
      ChipsetSim bridge(vendor);  // the vendor's value above bit 15 does not count
      bridge.SetPciHighBits(high);
      EXPECT_EQ(ButtonReader(bridge, sleeper).ProbeVariant(),
                vendor == ChipsetSim::kSisVendor ? ChipsetVariant::kSis : ChipsetVariant::kExtendedBank);
    }
}

// The first read starts the confirmation: 5 ms apart, two matching re-reads
// confirm, five others end it. Every path acknowledges with the low nibble and
// puts the poll period back. A value outside the press range changes nothing.
TEST_F(ButtonReaderTest, SisPressIsConfirmedAcknowledgedAndReturned) {
  // reads: the first, the re-reads, then the read-back
  struct Case { std::vector<uint8_t> reads; int code; size_t sleeps; };
  const Case cases[] = {
      {{0x00}, 0, 0}, {{0x0F}, 0, 0}, {{0x50}, 0, 0}, {{0xFF}, 0, 0},  // no press
      {{0x23, 0x23, 0x23}, 2, 2},
      {{0x23, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 5},              // never confirmed
      {{0x20, 0x20, 0x30, 0x20}, 2, 3},                          // another button is a miss
      {{0x40, 0x30, 0x50, 0x0F, 0x41, 0x40, 0x40}, 4, 6},        // four misses, then two hits
      {{0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 6},        // the fifth miss ends it
      {{0x11, 0x11, 0x11, 0x11, 0x11}, 1, 2},                    // a slow read-back is waited for
  };
  for (const Case& c : cases) {
    const bool press = c.sleeps > 0;
    chip.SetCmos(0, 0x7B, c.reads[0]);
    chip.ResetCounters();
    for (uint8_t v : c.reads) chip.ScriptButtonReads({v});
    sleeper.sleeps.clear();
    timer.periods.clear();
    EXPECT_EQ(reader.ReadCode(timer), c.code) << int(c.reads[0]);
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned>(c.sleeps, 5)) << int(c.reads[0]);
    EXPECT_EQ(chip.ButtonRegisterWrites(), press ? 1u : 0u);
    EXPECT_EQ(chip.Cmos(0, 0x7B), press ? c.reads[0] & 0x0F : c.reads[0]);  // the firmware's low nibble kept
    EXPECT_EQ(timer.periods, press ? std::vector<unsigned>({30000, 1000}) : std::vector<unsigned>());
    // no press: the probe (write + read) and one register read (index write + data read)
    EXPECT_TRUE(press || chip.Accesses() == 4u) << chip.Accesses();
  }
  EXPECT_EQ(reader.ReadCode(timer), 0);  // acknowledged: no press any more
}

TEST_F(ButtonReaderTest, AcknowledgementThatNeverReadsBackGivesUpAfterTheBound) {
  chip.SetCmos(0, 0x7B, 0x35);
  chip.SetAckIgnored(true);
  EXPECT_EQ(reader.ReadCode(timer), 0);
  // the probe, the first read, 2 confirmations and 0x8000000 failed read-backs
  EXPECT_EQ(chip.Reads(), 1u + 1u + 2u + 0x8000000u);
  EXPECT_EQ(timer.periods, (std::vector<unsigned>{30000, 1000}));
}

// The port sequence with its widths and index values is the hardware's
// contract. The press is made through another view of the same state, as the
// pad does from its own process, and that view sees the acknowledgement.
TEST(ButtonReaderPortsTest, ProbeAndRegisterAccessesUseTheHardwaresWidthsAndIndices) {
  const std::pair<uint16_t, const char*> cases[] = {
      {ChipsetSim::kSisVendor,
       "wCF8=80000000/2 rCFC=1039/1 w70=7B/0 r71=25/0 w70=7B/0 r71=25/0 w70=7B/0 r71=25/0 "
       "w70=7B/0 w71=5/0 w70=7B/0 r71=5/0"},
      {ChipsetSim::kOtherVendor, "wCF8=80000000/2 rCFC=8086/1 w72=E0/0 r73=2/0 w72=E0/0 w73=2/0"},
  };
  for (const auto& [vendor, trace] : cases) {
    ChipsetState shared;
    ChipsetSim::Reset(shared, vendor, 0x1234);
    ChipsetSim pad(shared), program(shared);
    fake::Sleeper sleeper;
    fake::Timer timer;
    pad.PressButton(2);
    EXPECT_EQ(ButtonReader(program, sleeper).ReadCode(timer), 2);
    EXPECT_EQ(program.Trace(), trace);
    // The extended bank's byte is neither validated nor confirmed: no sleep, no timer change.
    EXPECT_EQ(timer.periods.empty() && sleeper.sleeps.empty(), vendor == ChipsetSim::kOtherVendor);
    EXPECT_EQ(ButtonReader(pad, sleeper).ReadCode(timer), 0);
  }
}

// Accesses that are not the protocol's do not pass for it: wide cycles spill
// into the neighbouring ports, 0xCF8 latches only dwords, other registers hold
// other content.
TEST(ChipsetSimTest, WrongWidthsAndIndicesAnswerLikeTheHardware) {
  struct Case { uint16_t writePort; uint32_t value; PortWidth writeWidth; uint16_t readPort; PortWidth readWidth;
                uint32_t expected; };
  const Case cases[] = {
      {0x70, 0x7B, kPortByte, 0x71, kPortByte, 0x25},        // the protocol's access
      {0x70, 0x7B, kPortByte, 0x71, kPortWord, 0xFF25},      // + the write-only index port 0x72
      {0x70, 0x7B, kPortByte, 0x71, kPortDword, 0xFF03FF25}, // + 0x72, 0x73 (bank 1 reg 0xE0), 0x74
      {0x70, 0x7B, kPortWord, 0x71, kPortByte, 0x00},        // the index's high byte went into 0x7B
      {0x70, 0x7C, kPortByte, 0x71, kPortByte, 0xFC},        // another register
      {0x70, 0xFB, kPortByte, 0x71, kPortByte, 0x25},        // bit 7 is the NMI mask, not the index
      {0x72, 0xE0, kPortByte, 0x73, kPortWord, 0xFF03},
      {0x72, 0xE1, kPortByte, 0x73, kPortByte, 0xE1},
      {0xCF8, 0x80000000, kPortDword, 0xCFC, kPortByte, 0x39},
      {0xCF8, 0x80000000, kPortDword, 0xCFE, kPortWord, 0x0630},
      {0xCF8, 0x80000000, kPortWord, 0xCFC, kPortWord, 0xFFFF},  // not a configuration address
      {0xCF8, 0x80000000, kPortDword, 0xCFC, static_cast<PortWidth>(3), 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    ChipsetSim chip;
    chip.PressButton(2);
    chip.SetCmos(1, 0xE0, 0x03);
    chip.Write(0x72, 0xE0, kPortByte);
    chip.Write(c.writePort, c.value, c.writeWidth);
    EXPECT_EQ(chip.Read(c.readPort, c.readWidth), c.expected) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace zeph

#include "monitor/button_reader.h"

#include <gtest/gtest.h>

#include <utility>

#include "fakes.h"
#include "portio/chipset_sim.h"

namespace zeph {
namespace {

constexpr uint16_t kSis = ChipsetSim::kSisVendor, kOther = ChipsetSim::kOtherVendor;

// The variant is the low 16 bits of the host bridge's vendor, whatever a port
// library leaves above them. The chipset's button register answers these reads in
// turn (the first, the re-reads, then the read-back), and holds the first one otherwise. An SiS press
// is confirmed by two matching re-reads 5 ms apart or dropped after five others,
// and acknowledged either way by clearing the button nibble and keeping the
// firmware's; the extended bank's byte is returned and written back as it is. The
// simulated chipset answers a wrong access width or index with other content.
TEST(ButtonReaderTest, PressesAreConfirmedAcknowledgedAndReturned) {
  const struct { uint16_t vendor; std::vector<uint8_t> reads; int code; size_t sleeps; int written;
                 uint32_t pciHighBits = 0; } rows[] = {
      {kSis, {0x00}, 0, 0, -1}, {kSis, {0x0F}, 0, 0, -1}, {kSis, {0x50}, 0, 0, -1},  // no press: nothing written
      {kSis, {0x23, 0x23, 0x23}, 2, 2, 0x03},
      {kSis, {0x23, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 5, 0x03},    // never confirmed
      {kSis, {0x20, 0x20, 0x30, 0x20}, 2, 3, 0x00},                // another button is a miss
      {kSis, {0x4E, 0x30, 0x50, 0x0F, 0x41, 0x4E, 0x4E}, 4, 6, 0x0E},  // four misses, then two hits
      {kSis, {0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 6, 0x00},  // the fifth miss ends it
      {kSis, {0x11, 0x11, 0x11, 0x11, 0x11}, 1, 2, 0x01},          // a slow read-back is waited for
      {kOther, {0x04}, 4, 0, 0x04}, {kOther, {0x07}, 7, 0, 0x07},  // dispatch tells a button from no press
      {kSis, {0x23, 0x23, 0x23}, 2, 2, 0x03, 0xABCD0000}, {kOther, {0x04}, 4, 0, 0x04, 0x10390000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("row " + std::to_string(&row - rows));
    fake::Program p(row.vendor);
    p.chip.SetPciHighBits(row.pciHighBits);
    p.chip.SetButtonByte(row.reads[0]);
    for (uint8_t v : row.reads) p.chip.ScriptButtonReads({v});
    EXPECT_EQ(p.reader.ReadCode(p.timer), row.code);
    EXPECT_EQ(p.sleeper.sleeps, std::vector<unsigned>(row.sleeps, 5));
    EXPECT_EQ(std::make_pair(p.chip.ButtonRegisterWrites(), int(p.chip.LastButtonWrite())),  // once at most
              std::make_pair(uint64_t(row.written >= 0), row.written < 0 ? 0 : row.written));
    EXPECT_EQ(p.timer.periods, row.sleeps ? std::vector<unsigned>({30000, 1000}) : std::vector<unsigned>());
    EXPECT_EQ(p.reader.ReadCode(p.timer), 0);  // acknowledged: no press any more
  }
}

// A refused acknowledgement or a stuck register: the press is dropped after a few
// reads, each of which may be a driver request on the window's thread.
TEST(ButtonReaderTest, AcknowledgementThatNeverReadsBackIsGivenUpAtOnce) {
  fake::Program p(kSis);
  p.chip.SetButtonByte(0x35);
  p.chip.SetAckIgnored(true);
  EXPECT_EQ(p.reader.ReadCode(p.timer), 0);
  EXPECT_LE(p.chip.Reads(), 1000u);
  EXPECT_EQ(p.timer.periods, (std::vector<unsigned>{30000, 1000}));
}

}  // namespace
}  // namespace zeph

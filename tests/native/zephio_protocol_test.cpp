// The pure rules of zephio.sys and PortIO.dll: which requests the driver decodes,
// which registers and writes it lets through on which machine, and which port
// accesses the library turns into requests. Anything but the button reader's own
// is refused.
#include <gtest/gtest.h>

#include <tuple>

#include "portio/hw/port_sequence.h"

namespace zephio {
namespace {

// With the driver's rows of a malformed request (zephio_driver_test.cpp): one of
// each kind of request the driver must not take.
TEST(DriverDecode, OnlyItsTwoCodesExactSizesAndKnownTargetsPass) {
  const struct { uint32_t code; Record in; uint32_t inSize, outSize; Verdict verdict; } rows[] = {
      {kIoctlRead, {kHostBridgeVendor, 0}, 8, 8, Verdict::kOk},
      {kIoctlWrite, {kCmosButton, 0xFF}, 8, 0, Verdict::kOk},
      {ControlCode(0x900, 0), {kExtButton, 0}, 8, 8, Verdict::kUnknownCode},  // any access: not ours
      {kIoctlWrite, {kExtButton, 0}, 8, 8, Verdict::kBadSize},
      {kIoctlWrite, {kHostBridgeVendor, 0}, 8, 0, Verdict::kRefused},  // read only
      {kIoctlRead, {0x7B, 0}, 8, 8, Verdict::kRefused},  // a register is no target
      {kIoctlRead, {kCmosButton, 1}, 8, 8, Verdict::kRefused},  // a read carries no value
  };
  for (const auto& row : rows) {
    const Record buffer[2] = {row.in, {0, 0}};
    Request decoded{};
    EXPECT_EQ(Decode(row.code, buffer, row.inSize, row.outSize, &decoded), row.verdict) << "row " << &row - rows;
    if (row.verdict == Verdict::kOk) {  // what the library sends for it is what came in
      EXPECT_EQ(std::make_tuple(Encode(decoded).target, Encode(decoded).value, decoded.write),
                std::make_tuple(row.in.target, row.in.value, row.code == kIoctlWrite));
    }
  }
  Request decoded;
  EXPECT_EQ(Decode(kIoctlRead, nullptr, 8, 8, &decoded), Verdict::kBadSize);
}

// 0x7B only on an SiS host bridge, 0xE0 on every other one, an unreadable one
// included; a write only as the program makes it, judged against the held value.
TEST(DriverRules, EachMachineItsOwnRegisterAndOnlyTheProgramsWrites) {
  const struct { int vendor; Target target; int held, value; bool allowed; } rows[] = {  // value -1: a read
      {0x1039, kCmosButton, 0x23, -1, true}, {0x8086, kCmosButton, 0x23, -1, false},
      {-1, kCmosButton, 0x23, -1, false},  // vendor -1: it could not be read
      {0x1039, kExtButton, 4, -1, false}, {-1, kExtButton, 4, -1, true},
      {0x1039, kCmosButton, 0x4E, 0x0E, true},  // a press acknowledged, the firmware's nibble kept
      {0x1039, kCmosButton, 0x85, 0x85, true},  // rewritten unchanged
      {0x1039, kCmosButton, 0x23, 0x00, false},  // the firmware's nibble lost
      {0x1039, kCmosButton, 0x03, 0x13, false},  // a press made up
      {0x1039, kCmosButton, 0x85, 0x05, false}, {0x1039, kCmosButton, 0x55, 0x05, false},  // no press held
      {0x8086, kExtButton, 4, 4, true}, {0x8086, kExtButton, 4, 0, false},
  };
  for (const auto& row : rows) {
    const HostBridge host{row.vendor >= 0, static_cast<uint16_t>(row.vendor >= 0 ? row.vendor : 0)};
    EXPECT_EQ(Serves(host, row.target) &&
                  (row.value < 0 || WriteAllowed(row.target, uint8_t(row.held), uint8_t(row.value))),
              row.allowed) << "row " << &row - rows;
  }
}

// One index or address write, then one data access (value -1: a read): only the
// button reader's pairs, at its widths, become requests.
TEST(PortSequence, OnlyTheButtonReadersAccessesBecomeRequests) {
  const struct { uint16_t indexPort; uint32_t index; int indexWidth; uint16_t dataPort; int width; int64_t value;
                 int target; } rows[] = {  // target 0: refused
      {kPciAddressPort, 0x80000000, kDword, kPciDataPort, kWord, -1, kHostBridgeVendor},
      {kPciAddressPort, 0x80000000, kWord, kPciDataPort, kWord, -1, 0},  // 0xCF9 is the reset control
      {kCmosIndexPort, 0x7B, kByte, kCmosDataPort, kByte, 0x5A, kCmosButton},
      {kCmosIndexPort, 0x17B, kByte, kCmosDataPort, kByte, -1, 0},
      {kCmosIndexPort, 0x7B, kWord, kCmosDataPort, kByte, -1, 0},
      {kCmosIndexPort, 0x7B, kByte, kCmosDataPort, kWord, -1, 0},
      {kCmosIndexPort, 0xE0, kByte, kExtDataPort, kByte, -1, 0},  // the other bank's index
      {kExtIndexPort, 0xE0, kByte, kExtDataPort, kByte, -1, kExtButton},
      {kExtIndexPort, 0xE1, kByte, kExtDataPort, kByte, 0x04, 0},
  };
  for (const auto& row : rows) {
    PortSequence s;
    Request r{};
    s.Write(row.indexPort, row.index, row.indexWidth, &r);
    const auto step = row.value < 0 ? s.Read(row.dataPort, row.width, &r)
                                    : s.Write(row.dataPort, uint32_t(row.value), row.width, &r);
    const int target = step == PortSequence::Step::kRequest ? int(r.target) : 0;
    EXPECT_EQ(target, row.target) << "row " << &row - rows;
    if (target) {
      EXPECT_EQ(std::make_pair(r.write, int64_t(r.value)), std::make_pair(row.value >= 0, row.value < 0 ? 0 : row.value))
          << "row " << &row - rows;
    }
  }
}

}  // namespace
}  // namespace zephio

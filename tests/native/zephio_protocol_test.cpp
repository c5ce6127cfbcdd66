// The driver's request decoding and PortIO.dll's port protocol: everything that is
// not one of the button reader's accesses must be refused.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "portio/hw/port_sequence.h"

namespace zephio {
namespace {

using Step = PortSequence::Step;

TEST(DriverDecode, OnlyTwoCodesFixedSizesAndTheWhitelistedTargetsPass) {
  const Record buffer[3] = {{kCmosButton, 0}, {0, 0}, {0, 0}};
  Request out;
  std::set<uint32_t> known;
  for (uint32_t type : {0x22u, kDeviceType})
    for (uint32_t code = type << 16; code < ((type + 1) << 16); ++code)
      if (Decode(code, buffer, 8, 8, &out) != Verdict::kUnknownCode) known.insert(code);
  EXPECT_EQ(known, (std::set<uint32_t>{kIoctlRead, kIoctlWrite}));
  // The I/O manager checks these bits against the caller's handle: never "any access".
  EXPECT_EQ((kIoctlRead >> 14) & 3, kFileReadAccess);
  EXPECT_EQ((kIoctlWrite >> 14) & 3, kFileWriteAccess);

  // A well-formed record in a larger buffer: only the stated sizes decide.
  for (uint32_t code : {kIoctlRead, kIoctlWrite}) {
    const uint32_t replySize = code == kIoctlRead ? 8 : 0;
    for (uint32_t in = 0; in <= sizeof buffer; ++in)
      for (uint32_t reply = 0; reply <= sizeof buffer; ++reply)
        EXPECT_EQ(Decode(code, buffer, in, reply, &out), in == 8 && reply == replySize ? Verdict::kOk : Verdict::kBadSize)
            << code << " " << in << " " << reply;
    EXPECT_EQ(Decode(code, nullptr, 8, replySize, &out), Verdict::kBadSize);
  }

  std::vector<uint32_t> targets = {0x7B, 0xE0, 0x80000000, 0xFFFFFFFF}, values = {0x80000000, 0xFFFFFFFF};
  for (uint32_t n = 0; n < 16; ++n) targets.push_back(n);
  for (uint32_t n = 0; n < 0x300; ++n) values.push_back(n);
  const std::set<std::tuple<uint32_t, bool>> allowed = {
      {kHostBridgeVendor, false}, {kCmosButton, false}, {kExtButton, false}, {kCmosButton, true}, {kExtButton, true}};
  for (uint32_t target : targets)
    for (uint32_t value : values)
      for (bool write : {false, true}) {
        const Record r = {target, value};
        const bool ok = allowed.count({target, write}) && (write ? value <= 0xFF : value == 0);
        Request d{};
        ASSERT_EQ(Decode(write ? kIoctlWrite : kIoctlRead, &r, 8, write ? 0 : 8, &d), ok ? Verdict::kOk : Verdict::kRefused)
            << target << " " << value << " " << write;
        if (!ok) continue;
        const Record again = Encode(d);  // what the DLL sends for the decoded request
        EXPECT_EQ(std::tie(d.target, d.write, d.value, again.target, again.value),
                  std::tie(target, write, value, target, value));
      }
}

// The index and address writes the button reader makes before its data accesses.
PortSequence Primed() {
  PortSequence s;
  Request r;
  for (auto [port, index, width] : {std::tuple<uint16_t, uint32_t, int>{kPciAddressPort, kHostBridgeVendorAddress, kDword},
                                    {kCmosIndexPort, kCmosButtonRegister, kByte}, {kExtIndexPort, kExtButtonRegister, kByte}})
    EXPECT_EQ(s.Write(port, index, width, &r), Step::kRemembered);
  return s;
}

TEST(PortSequence, OnlyTheButtonReadersPortsWidthsIndexesAndAddressDoAnything) {
  const PortSequence primed = Primed();
  for (uint32_t port = 0; port <= 0xFFFF; ++port)
    for (int width = -1; width <= 3; ++width) {
      const auto at = [&](uint16_t q, int w) { return port == q && width == w; };
      PortSequence s = primed;
      Request r{};
      const Target target = port == kPciDataPort ? kHostBridgeVendor : port == kCmosDataPort ? kCmosButton : kExtButton;
      const bool readable = at(kPciDataPort, kWord) || at(kCmosDataPort, kByte) || at(kExtDataPort, kByte);
      ASSERT_EQ(s.Read(port, width, &r), readable ? Step::kRequest : Step::kRefused) << port << " w" << width;
      if (readable) {
        EXPECT_EQ(std::tie(r.target, r.write), std::make_tuple(target, false));
      }

      s = primed;
      const bool writable = at(kCmosDataPort, kByte) || at(kExtDataPort, kByte);
      const bool index = at(kPciAddressPort, kDword) || at(kCmosIndexPort, kByte) || at(kExtIndexPort, kByte);
      ASSERT_EQ(s.Write(port, 0x5A, width, &r), writable ? Step::kRequest : index ? Step::kRemembered : Step::kRefused)
          << port << " w" << width;
      if (writable) {
        EXPECT_EQ(std::tie(r.target, r.write, r.value), std::make_tuple(target, true, uint8_t{0x5A}));
      }
    }

  struct Bank { uint16_t index; int indexWidth; uint16_t data; int width; uint32_t answered; };
  for (const Bank& b : {Bank{kCmosIndexPort, kByte, kCmosDataPort, kByte, kCmosButtonRegister},
                        Bank{kExtIndexPort, kByte, kExtDataPort, kByte, kExtButtonRegister},
                        Bank{kPciAddressPort, kDword, kPciDataPort, kWord, kHostBridgeVendorAddress}}) {
    std::vector<uint32_t> written = {0xFFFFFFFF, b.answered | 0x100};
    for (uint32_t i = 0; i < 0x200; ++i) written.push_back(i);
    for (int bit = 0; bit < 32; ++bit) written.push_back(b.answered ^ (1u << bit));
    for (uint32_t value : written) {
      PortSequence s;
      Request r;
      s.Write(b.index, value, b.indexWidth, &r);
      EXPECT_EQ(s.Read(b.data, b.width, &r), value == b.answered ? Step::kRequest : Step::kRefused)
          << b.index << " " << value;
    }
    // Before any index, after one of the wrong width, or with more than a byte: nothing.
    PortSequence s;
    Request r;
    EXPECT_EQ(s.Read(b.data, b.width, &r), Step::kRefused);
    s = Primed();
    EXPECT_EQ(s.Write(b.index, b.answered, kWord, &r), Step::kRefused);  // a wrong width for all three
    EXPECT_EQ(s.Read(b.data, b.width, &r), Step::kRefused) << b.index;
  }
  PortSequence s = Primed();
  Request r;
  EXPECT_EQ(s.Write(kCmosDataPort, 0x100, kByte, &r), Step::kRefused);
}

}  // namespace
}  // namespace zephio

// The driver's request decoding and PortIO.dll's port protocol: everything that is
// not one of the button reader's accesses must be refused.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "fakes.h"
#include "monitor/button_reader.h"
#include "portio/hw/port_sequence.h"

namespace zephio {
namespace {

using Step = PortSequence::Step;

Verdict DecodeRecord(uint32_t code, uint32_t target, uint32_t value, Request* out) {
  const Record r = {target, value};
  return Decode(code, &r, sizeof r, code == kIoctlWrite ? 0 : sizeof r, out);
}

TEST(DriverDecode, OnlyOurTwoControlCodesAreKnownAndNeitherIsOpenToAnyAccess) {
  const Record r = {kExtButton, 0};
  Request out;
  std::set<uint32_t> known;
  for (uint32_t type : {0x0000u, 0x0022u, kDeviceType, 0xFFFFu})
    for (uint32_t function = 0; function < 0x1000; ++function)
      for (uint32_t access = 0; access < 4; ++access)
        for (uint32_t method = 0; method < 4; ++method) {
          const uint32_t code = (type << 16) | (access << 14) | (function << 2) | method;
          if (Decode(code, &r, sizeof r, sizeof r, &out) != Verdict::kUnknownCode) known.insert(code);
        }
  EXPECT_EQ(known, (std::set<uint32_t>{kIoctlRead, kIoctlWrite}));
  // The I/O manager checks these bits against the caller's handle.
  EXPECT_EQ((kIoctlRead >> 14) & 3, kFileReadAccess);
  EXPECT_EQ((kIoctlWrite >> 14) & 3, kFileWriteAccess);
  EXPECT_EQ(kIoctlRead & 3, kMethodBuffered);
  EXPECT_EQ(kIoctlWrite & 3, kMethodBuffered);
}

TEST(DriverDecode, RecordsOfAnyOtherSizeAreRefused) {
  // A well-formed record sits in a larger buffer: only the stated sizes decide.
  const Record buffer[4] = {{kCmosButton, 0}, {0, 0}, {0, 0}, {0, 0}};
  Request out;
  for (uint32_t code : {kIoctlRead, kIoctlWrite}) {
    const uint32_t rightOut = code == kIoctlWrite ? 0 : sizeof(Record);
    for (uint32_t in = 0; in <= sizeof buffer; ++in)
      for (uint32_t outSize = 0; outSize <= sizeof buffer; ++outSize) {
        const bool right = in == sizeof(Record) && outSize == rightOut;
        EXPECT_EQ(Decode(code, buffer, in, outSize, &out), right ? Verdict::kOk : Verdict::kBadSize)
            << std::hex << code << std::dec << " in " << in << " out " << outSize;
      }
    EXPECT_EQ(Decode(code, nullptr, sizeof(Record), rightOut, &out), Verdict::kBadSize);
    EXPECT_EQ(Decode(code, buffer, 0xFFFFFFFF, 0xFFFFFFFF, &out), Verdict::kBadSize);
  }
}

TEST(DriverDecode, AnswersThreeReadsAndByteWritesToTheTwoButtonRegisters) {
  std::vector<uint32_t> targets = {0x7B, 0xE0, 0x80000000, 0xFFFFFFFF};
  std::vector<uint32_t> values = {0x80000000, 0xFFFFFFFF};
  for (uint32_t t = 0; t < 16; ++t) targets.push_back(t);
  for (uint32_t v = 0; v < 0x300; ++v) values.push_back(v);

  const std::set<std::tuple<uint32_t, bool>> allowed = {
      {kHostBridgeVendor, false}, {kCmosButton, false}, {kExtButton, false}, {kCmosButton, true}, {kExtButton, true}};
  for (uint32_t target : targets)
    for (uint32_t value : values)
      for (bool write : {false, true}) {
        Request out{};
        const Verdict v = DecodeRecord(write ? kIoctlWrite : kIoctlRead, target, value, &out);
        // A read carries no value; a write exactly one byte.
        const bool ok = allowed.count({target, write}) && (write ? value <= 0xFF : value == 0);
        ASSERT_EQ(v, ok ? Verdict::kOk : Verdict::kRefused) << target << " " << value << " " << write;
        if (!ok) continue;
        EXPECT_EQ(out.target, target);
        EXPECT_EQ(out.write, write);
        EXPECT_EQ(out.value, value);
        // What the DLL would send for it decodes to the same request.
        const Record again = Encode(out);
        Request back{};
        ASSERT_EQ(Decode(write ? kIoctlWrite : kIoctlRead, &again, sizeof again, write ? 0 : sizeof again, &back),
                  Verdict::kOk);
        EXPECT_EQ(std::tie(back.target, back.write, back.value), std::tie(out.target, out.write, out.value));
      }
}

// The index and address writes the button reader makes before its data accesses.
PortSequence Primed() {
  PortSequence s;
  Request r;
  EXPECT_EQ(s.Write(kPciAddressPort, kHostBridgeVendorAddress, kDword, &r), Step::kRemembered);
  EXPECT_EQ(s.Write(kCmosIndexPort, kCmosButtonRegister, kByte, &r), Step::kRemembered);
  EXPECT_EQ(s.Write(kExtIndexPort, kExtButtonRegister, kByte, &r), Step::kRemembered);
  return s;
}

TEST(PortSequence, OnlyTheButtonReadersPortsAndWidthsDoAnything) {
  const PortSequence primed = Primed();
  for (uint32_t port = 0; port <= 0xFFFF; ++port)
    for (int width = -1; width <= 3; ++width) {
      const auto p = static_cast<uint16_t>(port);
      const auto at = [&](uint16_t q, int w) { return p == q && width == w; };
      PortSequence s = primed;
      Request r{};
      const Step read = s.Read(p, width, &r);
      if (at(kPciDataPort, kWord) || at(kCmosDataPort, kByte) || at(kExtDataPort, kByte)) {
        ASSERT_EQ(read, Step::kRequest) << port << " w" << width;
        EXPECT_FALSE(r.write);
        EXPECT_EQ(r.target, p == kPciDataPort ? kHostBridgeVendor : p == kCmosDataPort ? kCmosButton : kExtButton);
      } else {
        ASSERT_EQ(read, Step::kRefused) << port << " w" << width;
      }

      s = primed;
      const Step write = s.Write(p, 0x5A, width, &r);
      if (at(kCmosDataPort, kByte) || at(kExtDataPort, kByte)) {
        ASSERT_EQ(write, Step::kRequest) << port;
        EXPECT_TRUE(r.write);
        EXPECT_EQ(r.target, p == kCmosDataPort ? kCmosButton : kExtButton);
        EXPECT_EQ(r.value, 0x5A);
      } else if (at(kPciAddressPort, kDword) || at(kCmosIndexPort, kByte) || at(kExtIndexPort, kByte)) {
        ASSERT_EQ(write, Step::kRemembered) << port;
      } else {
        ASSERT_EQ(write, Step::kRefused) << port << " w" << width;
      }
    }
}

TEST(PortSequence, OnlyTheButtonRegistersAndTheVendorAddressAreAnswered) {
  struct Bank {
    uint16_t index, data;
    uint32_t answered;
  };
  for (const Bank& b : {Bank{kCmosIndexPort, kCmosDataPort, kCmosButtonRegister},
                        Bank{kExtIndexPort, kExtDataPort, kExtButtonRegister}}) {
    std::vector<uint32_t> indexes = {0xFFFFFFFF, b.answered | 0x100, b.answered | 0x80000000};
    for (uint32_t i = 0; i < 0x200; ++i) indexes.push_back(i);
    for (uint32_t index : indexes) {
      PortSequence s;
      Request r;
      s.Write(b.index, index, kByte, &r);
      const Step want = index == b.answered ? Step::kRequest : Step::kRefused;
      EXPECT_EQ(s.Read(b.data, kByte, &r), want) << std::hex << b.index << " " << index;
      EXPECT_EQ(s.Write(b.data, 1, kByte, &r), want) << std::hex << b.index << " " << index;
    }
  }
  std::vector<uint32_t> addresses = {0, 0xFFFFFFFF, kHostBridgeVendorAddress};
  for (int bit = 0; bit < 32; ++bit) addresses.push_back(kHostBridgeVendorAddress ^ (1u << bit));
  for (uint32_t address : addresses) {
    PortSequence s;
    Request r;
    s.Write(kPciAddressPort, address, kDword, &r);
    EXPECT_EQ(s.Read(kPciDataPort, kWord, &r), address == kHostBridgeVendorAddress ? Step::kRequest : Step::kRefused)
        << std::hex << address;
  }
}

TEST(PortSequence, NothingIsAnsweredBeforeTheIndexOrAfterAWrongWidthWriteToIt) {
  Request r;
  PortSequence fresh;
  EXPECT_EQ(fresh.Read(kPciDataPort, kWord, &r), Step::kRefused);
  EXPECT_EQ(fresh.Read(kCmosDataPort, kByte, &r), Step::kRefused);
  EXPECT_EQ(fresh.Write(kExtDataPort, 0, kByte, &r), Step::kRefused);

  struct Case {
    uint16_t indexPort, dataPort;
    uint32_t value;
    int wrongWidth, dataWidth;
  };
  const Case cases[] = {
      {kPciAddressPort, kPciDataPort, kHostBridgeVendorAddress, kByte, kWord},
      {kPciAddressPort, kPciDataPort, kHostBridgeVendorAddress, kWord, kWord},
      {kCmosIndexPort, kCmosDataPort, kCmosButtonRegister, kWord, kByte},
      {kCmosIndexPort, kCmosDataPort, kCmosButtonRegister, kDword, kByte},
      {kExtIndexPort, kExtDataPort, kExtButtonRegister, kWord, kByte},
      {kExtIndexPort, kExtDataPort, kExtButtonRegister, 3, kByte},
  };
  for (const Case& c : cases) {
    PortSequence s = Primed();
    EXPECT_EQ(s.Write(c.indexPort, c.value, c.wrongWidth, &r), Step::kRefused);
    EXPECT_EQ(s.Read(c.dataPort, c.dataWidth, &r), Step::kRefused) << std::hex << c.indexPort << " w" << c.wrongWidth;
  }
  // A data write is one byte; a value above it is not silently cut to one.
  PortSequence s = Primed();
  EXPECT_EQ(s.Write(kCmosDataPort, 0x100, kByte, &r), Step::kRefused);
  EXPECT_EQ(s.Write(kExtDataPort, 0x1E0, kByte, &r), Step::kRefused);
}

// PortIO.dll's NT path end to end: the port protocol, the record on the wire, the
// driver's decoding, and three registers behind it.
class DriverPorts : public zeph::IPortIO {
 public:
  uint32_t vendor = 0;
  uint8_t cmos = 0, ext = 0;
  int registerWrites = 0;

  uint32_t Read(uint16_t port, zeph::PortWidth width) override {
    Request r;
    return m_sequence.Read(port, width, &r) == Step::kRequest ? Serve(r) : 0;
  }
  void Write(uint16_t port, uint32_t value, zeph::PortWidth width) override {
    Request r;
    if (m_sequence.Write(port, value, width, &r) == Step::kRequest) Serve(r);
  }

 private:
  uint32_t Serve(const Request& sent) {
    const Record wire = Encode(sent);
    Request r;
    if (Decode(sent.write ? kIoctlWrite : kIoctlRead, &wire, sizeof wire, sent.write ? 0 : sizeof wire, &r) !=
        Verdict::kOk) {
      ADD_FAILURE() << "the DLL sent a request the driver refuses";
      return 0;
    }
    if (r.target == kHostBridgeVendor) return vendor & 0xFFFF;
    uint8_t& reg = r.target == kCmosButton ? cmos : ext;
    if (r.write) {
      reg = r.value;
      ++registerWrites;
    }
    return reg;
  }
  PortSequence m_sequence;
};

TEST(DllSequence, TheButtonReaderGetsItsAnswersThroughTheDriversRequests) {
  zeph::fake::Sleeper sleeper;
  zeph::fake::Timer timer;
  DriverPorts sis;
  sis.vendor = 0xABCD1039;
  sis.cmos = 0x23;
  zeph::ButtonReader sisReader(sis, sleeper);
  EXPECT_EQ(sisReader.ReadCode(timer), 2);
  EXPECT_EQ(sis.cmos, 0x03);  // acknowledged, the firmware's nibble kept
  EXPECT_EQ(sis.ext, 0);

  DriverPorts extended;
  extended.vendor = 0x8086;
  extended.ext = 4;
  zeph::ButtonReader extReader(extended, sleeper);
  EXPECT_EQ(extReader.ReadCode(timer), 4);
  EXPECT_EQ(extended.registerWrites, 1);  // written back unchanged
  EXPECT_EQ(extended.ext, 4);
  EXPECT_EQ(extended.cmos, 0);
}

}  // namespace
}  // namespace zephio

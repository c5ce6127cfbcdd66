#include "portio/hw/port_sequence.h"

namespace zephio {

namespace {
PortSequence::Step Send(Target target, bool write, uint32_t value, Request* request) {
  request->target = target;
  request->write = write;
  request->value = static_cast<uint8_t>(value);
  return PortSequence::Step::kRequest;
}
}  // namespace

PortSequence::Step PortSequence::Write(uint16_t port, uint32_t value, int width, Request* request) {
  switch (port) {
    case kPciAddressPort:
      // A narrower access to 0xCF8 is not an address write on the chipset (0xCF9 is
      // the reset control), so it leaves no address we could answer for.
      m_pciAddress = width == kDword ? value : kUnknown;
      return width == kDword ? Step::kRemembered : Step::kRefused;
    case kCmosIndexPort:
    case kExtIndexPort: {
      // Kept as written, bits above the byte included: 0x17B is not register 0x7B.
      uint32_t& index = port == kCmosIndexPort ? m_cmosIndex : m_extIndex;
      index = width == kByte ? value : kUnknown;
      return width == kByte ? Step::kRemembered : Step::kRefused;
    }
    case kCmosDataPort:
      if (width == kByte && value <= 0xFF && m_cmosIndex == kCmosButtonRegister)
        return Send(kCmosButton, true, value, request);
      return Step::kRefused;
    case kExtDataPort:
      if (width == kByte && value <= 0xFF && m_extIndex == kExtButtonRegister)
        return Send(kExtButton, true, value, request);
      return Step::kRefused;
    default:
      return Step::kRefused;
  }
}

PortSequence::Step PortSequence::Read(uint16_t port, int width, Request* request) {
  if (port == kPciDataPort && width == kWord && m_pciAddress == kHostBridgeVendorAddress)
    return Send(kHostBridgeVendor, false, 0, request);
  if (port == kCmosDataPort && width == kByte && m_cmosIndex == kCmosButtonRegister)
    return Send(kCmosButton, false, 0, request);
  if (port == kExtDataPort && width == kByte && m_extIndex == kExtButtonRegister)
    return Send(kExtButton, false, 0, request);
  return Step::kRefused;
}

}  // namespace zephio

#pragma once
// How PortIO.dll turns the program's port accesses into zephio.sys requests on the
// NT family. The program writes an index or a configuration address and then
// touches a data port; only the pairs the launch-button reader uses mean anything,
// everything else is refused here, before the driver is asked.
#include <stdint.h>

#include "portio/hw/zephio_protocol.h"

namespace zephio {

using zeph::chipset::kCmosDataPort;
using zeph::chipset::kCmosIndexPort;
using zeph::chipset::kPciAddressPort;
using zeph::chipset::kPciDataPort;
constexpr uint32_t kHostBridgeVendorAddress = zeph::chipset::kPciHostBridgeVendor;

// Width codes as ReadIOPort/WriteIOPort take them.
enum Width : int { kByte = 0, kWord = 1, kDword = 2 };

class PortSequence {
 public:
  enum class Step {
    kRemembered,  // an index or address write: kept for the next data access
    kRequest,     // *request is to be sent to the driver
    kRefused,     // outside the protocol: nothing is sent, a read gives 0
  };

  Step Write(uint16_t port, uint32_t value, int width, Request* request);
  Step Read(uint16_t port, int width, Request* request);

 private:
  // What an index port holds after a write we cannot stand behind (wrong width):
  // no data access may be taken as aimed at a button register then.
  static constexpr uint32_t kUnknown = 0xFFFFFFFF;

  uint32_t m_pciAddress = kUnknown;
  uint32_t m_cmosIndex = kUnknown;
  uint32_t m_extIndex = kUnknown;
};

}  // namespace zephio

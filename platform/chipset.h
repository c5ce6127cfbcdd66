#pragma once
// Where the notebook's chipset reports its launch buttons: the ports, registers
// and values of the port protocol. Shared by the button-code reader and the
// hardware PortIO.dll and its driver, which answer that protocol and nothing
// else. (The simulated chipset keeps its own copy on purpose: it is what the
// reader is tested against.)
#include <stdint.h>

namespace zeph {
namespace chipset {
constexpr uint16_t kPciAddressPort = 0xCF8;
constexpr uint16_t kPciDataPort = 0xCFC;
constexpr uint32_t kPciHostBridgeVendor = 0x80000000;  // enable, bus 0, dev 0, fn 0, reg 0
constexpr uint16_t kSisVendorId = 0x1039;

constexpr uint16_t kCmosIndexPort = 0x70;
constexpr uint16_t kCmosDataPort = 0x71;
constexpr uint8_t kSisButtonRegister = 0x7B;

constexpr uint16_t kExtIndexPort = 0x72;
constexpr uint16_t kExtDataPort = 0x73;
constexpr uint8_t kExtButtonRegister = 0xE0;
}  // namespace chipset
}  // namespace zeph

#include "monitor/button_reader.h"

namespace zeph {

using namespace chipset;

uint32_t ButtonReader::ReadRegister(uint16_t indexPort, uint16_t dataPort, uint8_t reg) {
  m_ports.Write(indexPort, reg, kPortByte);
  return m_ports.Read(dataPort, kPortByte);
}

void ButtonReader::WriteRegister(uint16_t indexPort, uint16_t dataPort, uint8_t reg, uint32_t value) {
  m_ports.Write(indexPort, reg, kPortByte);
  m_ports.Write(dataPort, value, kPortByte);
}

ChipsetVariant ButtonReader::ProbeVariant() {
  m_ports.Write(kPciAddressPort, kPciHostBridgeVendor, kPortDword);
  const uint32_t vendor = m_ports.Read(kPciDataPort, kPortWord) & 0xFFFF;
  return vendor == kSisVendorId ? ChipsetVariant::kSis : ChipsetVariant::kExtendedBank;
}

ButtonCode ButtonReader::ReadCode(IPollTimer& timer) {
  return ProbeVariant() == ChipsetVariant::kSis ? ReadSis(timer) : ReadExtendedBank();
}

ButtonCode ButtonReader::ReadSis(IPollTimer& timer) {
  const uint32_t v = ReadRegister(kCmosIndexPort, kCmosDataPort, kSisButtonRegister);
  if (!IsSisPress(v)) return 0;

  // The confirmation can take a while on a busy machine; keep the next tick away.
  timer.SetPeriod(kConfirmPeriodMs);

  int hits = 0, misses = 0;
  while (hits < 2 && misses < 5) {
    m_sleeper.Sleep(kConfirmSleepMs);
    const uint32_t r = ReadRegister(kCmosIndexPort, kCmosDataPort, kSisButtonRegister);
    if (IsSisPress(r) && r == v) ++hits; else ++misses;
  }

  // Acknowledge even an unconfirmed press, or the firmware would keep reporting
  // it. The low nibble is the firmware's own and goes back untouched.
  const uint32_t ack = v & 0x0F;
  WriteRegister(kCmosIndexPort, kCmosDataPort, kSisButtonRegister, ack);

  bool acknowledged = false;
  for (unsigned n = 0; n < kReadBackLimit && !acknowledged; ++n)
    acknowledged = ReadRegister(kCmosIndexPort, kCmosDataPort, kSisButtonRegister) == ack;

  const ButtonCode result = (acknowledged && hits == 2) ? static_cast<ButtonCode>(v >> 4) : 0;
  timer.SetPeriod(kPollPeriodMs);
  return result;
}

ButtonCode ButtonReader::ReadExtendedBank() {
  const uint32_t v = ReadRegister(kExtIndexPort, kExtDataPort, kExtButtonRegister);
  WriteRegister(kExtIndexPort, kExtDataPort, kExtButtonRegister, v);
  return static_cast<ButtonCode>(v);
}

}  // namespace zeph

#include "portio/chipset_sim.h"

namespace zeph {

namespace {
constexpr uint8_t kSisButtonReg = 0x7B;
constexpr uint8_t kExtButtonReg = 0xE0;

uint32_t Mask(PortWidth width) {
  switch (width) {
    case kPortByte: return 0xFF;
    case kPortWord: return 0xFFFF;
    default: return 0xFFFFFFFF;
  }
}
}  // namespace

ChipsetSim::ChipsetSim(uint16_t vendor, uint16_t device) : m_vendor(vendor), m_device(device) {
  // Something for the firmware's low nibble to keep.
  m_cmos[0][kSisButtonReg] = 0x05;
}

void ChipsetSim::PressButton(int n) {
  if (IsSis()) {
    m_cmos[0][kSisButtonReg] = static_cast<uint8_t>((n << 4) | (m_cmos[0][kSisButtonReg] & 0x0F));
  } else {
    m_cmos[1][kExtButtonReg] = static_cast<uint8_t>(n);
  }
}

void ChipsetSim::SetCmos(int bank, uint8_t reg, uint8_t value) { m_cmos[bank & 1][reg] = value; }
uint8_t ChipsetSim::Cmos(int bank, uint8_t reg) const { return m_cmos[bank & 1][reg]; }

void ChipsetSim::ScriptButtonReads(std::initializer_list<uint8_t> values) {
  m_scripted.insert(m_scripted.end(), values.begin(), values.end());
}

bool ChipsetSim::IsButtonRegister(int bank, uint8_t reg) const {
  return IsSis() ? (bank == 0 && reg == kSisButtonReg) : (bank == 1 && reg == kExtButtonReg);
}

uint8_t ChipsetSim::ReadCmos(int bank) {
  // The standard bank decodes seven index bits; the extended bank all eight.
  const uint8_t reg = bank == 0 ? (m_index[0] & 0x7F) : m_index[1];
  if (!m_scripted.empty() && IsButtonRegister(bank, reg)) {
    const uint8_t v = m_scripted.front();
    m_scripted.pop_front();
    return v;
  }
  return m_cmos[bank][reg];
}

void ChipsetSim::WriteCmos(int bank, uint8_t value) {
  const uint8_t reg = bank == 0 ? (m_index[0] & 0x7F) : m_index[1];
  if (!IsButtonRegister(bank, reg)) {
    m_cmos[bank][reg] = value;
    return;
  }
  ++m_buttonWrites;
  m_lastButtonWrite = value;
  if (m_ackIgnored) return;
  if (bank == 1 && value == m_cmos[1][reg]) {
    // The extended-bank firmware takes the code written back as the
    // acknowledgement and clears it.
    m_cmos[1][reg] = 0;
  } else {
    m_cmos[bank][reg] = value;
  }
}

uint32_t ChipsetSim::Read(uint16_t port, PortWidth width) {
  ++m_reads;
  switch (port) {
    case 0x71: return ReadCmos(0);
    case 0x73: return ReadCmos(1);
    case 0x70: return m_index[0];
    case 0x72: return m_index[1];
    case 0xCF8: return m_pciAddress & Mask(width);
    case 0xCFC:
      if (m_pciAddress == 0x80000000u) {
        return ((static_cast<uint32_t>(m_device) << 16 | m_vendor) & Mask(width)) | m_pciHighBits;
      }
      return 0xFFFFFFFFu & Mask(width);  // no such device
    default: return 0xFFFFFFFFu & Mask(width);
  }
}

void ChipsetSim::Write(uint16_t port, uint32_t value, PortWidth width) {
  ++m_writes;
  const uint8_t byte = static_cast<uint8_t>(value);
  switch (port) {
    case 0x70: m_index[0] = byte; break;
    case 0x72: m_index[1] = byte; break;
    case 0x71: WriteCmos(0, byte); break;
    case 0x73: WriteCmos(1, byte); break;
    case 0xCF8: m_pciAddress = value & Mask(width); break;
    default: break;
  }
}

}  // namespace zeph

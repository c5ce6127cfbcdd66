#include "portio/chipset_sim.h"


namespace zeph {

namespace {
// The chipset's own numbers, spelt out here rather than taken from the reader's
// header: the simulator is what the reader is checked against.
constexpr uint8_t kSisButtonReg = 0x7B;
constexpr uint8_t kExtButtonReg = 0xE0;
constexpr uint16_t kPciAddressPort = 0xCF8;
constexpr uint16_t kPciDataPort = 0xCFC;
constexpr uint32_t kHostBridgeIdRegister = 0x80000000;  // enable, bus 0, dev 0, fn 0, reg 0

int Bytes(PortWidth width) {
  switch (width) {
    case kPortByte: return 1;
    case kPortWord: return 2;
    case kPortDword: return 4;
    default: return 0;  // no such cycle: nothing answers
  }
}
}  // namespace

ChipsetSim::ChipsetSim(uint16_t vendor, uint16_t device) { Reset(m_own, vendor, device); }

void ChipsetSim::Reset(ChipsetState& s, uint16_t vendor, uint16_t device) {
  s = ChipsetState{};
  s.vendor = vendor;
  s.device = device;
  // Registers other than the button's hold bytes that are no press on either
  // chipset, so that a wrong index cannot pass for an idle button register.
  for (auto& bank : s.cmos) {
    for (int reg = 0; reg < 256; ++reg) bank[reg] = static_cast<uint8_t>(0xC0 | (reg & 0x3F));
  }
  s.cmos[0][kSisButtonReg] = 0x05;  // something for the firmware's low nibble to keep
  s.cmos[1][kExtButtonReg] = 0;
}

void ChipsetSim::SetVendor(uint16_t vendor, uint16_t device) {
  m_s->vendor = vendor;
  m_s->device = device;
}

void ChipsetSim::PressButton(int n) {
  if (IsSis()) {
    uint8_t& reg = m_s->cmos[0][kSisButtonReg];
    reg = static_cast<uint8_t>((n << 4) | (reg & 0x0F));
  } else {
    m_s->cmos[1][kExtButtonReg] = static_cast<uint8_t>(n);
  }
}

void ChipsetSim::SetButtonByte(uint8_t value) {
  if (IsSis()) m_s->cmos[0][kSisButtonReg] = value; else m_s->cmos[1][kExtButtonReg] = value;
}

void ChipsetSim::SetCmos(int bank, uint8_t reg, uint8_t value) { m_s->cmos[bank & 1][reg] = value; }
uint8_t ChipsetSim::Cmos(int bank, uint8_t reg) const { return m_s->cmos[bank & 1][reg]; }

void ChipsetSim::ScriptButtonReads(std::initializer_list<uint8_t> values) {
  for (uint8_t v : values) {
    if (m_s->scriptCount == ChipsetState::kScriptSize) break;
    m_s->script[(m_s->scriptStart + m_s->scriptCount++) % ChipsetState::kScriptSize] = v;
  }
}

bool ChipsetSim::IsButtonRegister(int bank, uint8_t reg) const {
  return IsSis() ? (bank == 0 && reg == kSisButtonReg) : (bank == 1 && reg == kExtButtonReg);
}

uint8_t ChipsetSim::Selected(int bank) const {
  // The standard bank decodes seven index bits (bit 7 is the NMI mask); the
  // extended bank all eight.
  return bank == 0 ? (m_s->index[0] & 0x7F) : m_s->index[1];
}

uint8_t ChipsetSim::ReadByte(uint16_t port) {
  const int bank = port == 0x71 ? 0 : port == 0x73 ? 1 : -1;
  if (bank < 0) return 0xFF;  // the index ports are write-only; nothing else answers
  const uint8_t reg = Selected(bank);
  if (m_s->scriptCount && IsButtonRegister(bank, reg)) {
    const uint8_t v = m_s->script[m_s->scriptStart];
    m_s->scriptStart = static_cast<uint8_t>((m_s->scriptStart + 1) % ChipsetState::kScriptSize);
    --m_s->scriptCount;
    return v;
  }
  return m_s->cmos[bank][reg];
}

void ChipsetSim::WriteByte(uint16_t port, uint8_t value) {
  if (port == 0x70 || port == 0x72) {
    m_s->index[port == 0x72] = value;
    return;
  }
  const int bank = port == 0x71 ? 0 : port == 0x73 ? 1 : -1;
  if (bank < 0) return;
  uint8_t& reg = m_s->cmos[bank][Selected(bank)];
  if (!IsButtonRegister(bank, Selected(bank))) {
    reg = value;
    return;
  }
  ++m_buttonWrites;
  m_lastButtonWrite = value;
  if (m_s->ackIgnored) return;
  // The extended-bank firmware takes the code written back as the
  // acknowledgement and clears it.
  reg = (bank == 1 && value == reg) ? 0 : value;
}

uint32_t ChipsetSim::Read(uint16_t port, PortWidth width) {
  ++m_reads;
  const int bytes = Bytes(width);
  uint32_t v = 0;
  if (port == kPciAddressPort && width == kPortDword) {
    v = m_s->pciAddress;
  } else if (port >= kPciDataPort && port < kPciDataPort + 4 && bytes) {
    const uint32_t id = static_cast<uint32_t>(m_s->device) << 16 | m_s->vendor;
    v = (m_s->pciAddress == kHostBridgeIdRegister ? id : 0xFFFFFFFFu) >> (8 * (port - kPciDataPort));
    if (bytes < 4) v &= (1u << (8 * bytes)) - 1;
    if (port == kPciDataPort && width == kPortWord) v |= m_s->pciHighBits;
  } else if (!bytes) {
    v = 0xFFFFFFFFu;
  } else {
    // The CMOS ports are 8 bits wide: a wider cycle is split across the
    // following ports, so a 16-bit read of a data port brings in its neighbour.
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(ReadByte(static_cast<uint16_t>(port + i))) << (8 * i);
  }
  return v;
}

void ChipsetSim::Write(uint16_t port, uint32_t value, PortWidth width) {
  ++m_writes;
  // Only a dword cycle at 0xCF8 reaches the configuration address; configuration
  // writes are not modelled.
  if (port == kPciAddressPort && width == kPortDword) m_s->pciAddress = value;
  if (port >= kPciAddressPort && port < kPciDataPort + 4) return;
  // A wider cycle spills its upper bytes into the following ports: a 16-bit
  // index write also writes the data port, i.e. the register it selects.
  for (int i = 0; i < Bytes(width); ++i) WriteByte(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace zeph

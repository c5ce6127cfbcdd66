#pragma once
// A simulated notebook chipset and its launch-button firmware, behind the same
// port-I/O calls the program makes: the PCI host bridge's vendor probe, the CMOS
// bank behind 0x70/0x71 and the extended bank behind 0x72/0x73. Faults can be
// scripted to exercise the reader's confirmation and read-back paths.
#include <array>
#include <cstdint>
#include <deque>

#include "platform/port_io.h"

namespace zeph {

class ChipsetSim : public IPortIO {
 public:
  static constexpr uint16_t kSisVendor = 0x1039;

  // vendor: PCI vendor id of bus 0, device 0, function 0; device fills bits 16..31.
  explicit ChipsetSim(uint16_t vendor = kSisVendor, uint16_t device = 0x0630);

  // Firmware: a press of button n (1..4) as the firmware reports it.
  void PressButton(int n);
  // Puts a raw byte in a register, as another owner of CMOS would.
  void SetCmos(int bank, uint8_t reg, uint8_t value);
  uint8_t Cmos(int bank, uint8_t reg) const;
  bool IsSis() const { return m_vendor == kSisVendor; }

  // Faults. The next reads of the button register return these values (one each)
  // instead of what it holds.
  void ScriptButtonReads(std::initializer_list<uint8_t> values);
  // The firmware ignores writes to the button register, so an acknowledgement
  // never reads back.
  void SetAckIgnored(bool ignored) { m_ackIgnored = ignored; }
  // A sloppy port library: a 16-bit read of the PCI data port also returns these
  // bits above bit 15.
  void SetPciHighBits(uint32_t bits) { m_pciHighBits = bits; }

  // Counters for tests and the benchmark.
  uint64_t Accesses() const { return m_reads + m_writes; }
  uint64_t Reads() const { return m_reads; }
  uint64_t Writes() const { return m_writes; }
  uint64_t ButtonRegisterWrites() const { return m_buttonWrites; }
  uint32_t LastButtonWrite() const { return m_lastButtonWrite; }
  void ResetCounters() { m_reads = m_writes = m_buttonWrites = 0; }

  // IPortIO
  uint32_t Read(uint16_t port, PortWidth width) override;
  void Write(uint16_t port, uint32_t value, PortWidth width) override;

 private:
  uint8_t ReadCmos(int bank);
  void WriteCmos(int bank, uint8_t value);
  bool IsButtonRegister(int bank, uint8_t reg) const;

  uint16_t m_vendor;
  uint16_t m_device;
  uint32_t m_pciAddress = 0;
  uint32_t m_pciHighBits = 0;
  std::array<uint8_t, 2> m_index{};
  std::array<std::array<uint8_t, 256>, 2> m_cmos{};
  std::deque<uint8_t> m_scripted;
  bool m_ackIgnored = false;

  uint64_t m_reads = 0;
  uint64_t m_writes = 0;
  uint64_t m_buttonWrites = 0;
  uint32_t m_lastButtonWrite = 0;
};

}  // namespace zeph

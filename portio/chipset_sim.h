#pragma once
// A simulated notebook chipset and its launch-button firmware, behind the same
// port-I/O calls the program makes: the PCI host bridge's vendor probe, the CMOS
// bank behind 0x70/0x71 and the extended bank behind 0x72/0x73. It answers like
// the hardware where the program could go wrong: a wide access to a CMOS port
// spills over to the neighbouring ports, a non-dword access to 0xCF8 is not the
// configuration address, and registers other than the button's hold other
// content. Faults can be scripted to exercise the reader's confirmation and
// read-back paths.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "platform/port_io.h"

namespace zeph {

// Everything the chipset holds, as plain fixed-width fields: the simulator DLL
// keeps it in a file that every process of the user maps, 32- and 64-bit alike,
// so the layout must not depend on the compiler or the word size.
struct ChipsetState {
  static constexpr int kScriptSize = 8;
  uint16_t vendor;
  uint16_t device;
  uint32_t pciAddress;
  uint32_t pciHighBits;  // fault: added to a 16-bit read of the PCI data port
  uint8_t index[2];      // the index latches of 0x70 and 0x72
  uint8_t ackIgnored;    // fault: writes to the button register are lost
  uint8_t scriptStart;   // fault: the next button-register reads, a ring
  uint8_t scriptCount;
  uint8_t reserved[3];
  uint8_t script[kScriptSize];
  uint8_t cmos[2][256];
};
static_assert(sizeof(ChipsetState) == 540, "the shared layout changed: change the state file's version too");

class ChipsetSim : public IPortIO {
 public:
  static constexpr uint16_t kSisVendor = 0x1039;
  static constexpr uint16_t kSisDevice = 0x0630;
  static constexpr uint16_t kOtherVendor = 0x8086;
  static constexpr uint16_t kOtherDevice = 0x7190;

  // A chipset of its own; vendor is the PCI vendor id of bus 0, device 0,
  // function 0, and device fills bits 16..31 of that register.
  explicit ChipsetSim(uint16_t vendor = kSisVendor, uint16_t device = kSisDevice);
  // A view of a chipset whose state lives elsewhere (shared memory); the
  // counters are this view's own.
  explicit ChipsetSim(ChipsetState& shared) : m_s(&shared) {}
  ChipsetSim(const ChipsetSim&) = delete;
  ChipsetSim& operator=(const ChipsetSim&) = delete;

  // Power-on content: no press, other registers holding non-button values.
  static void Reset(ChipsetState& s, uint16_t vendor, uint16_t device);
  // Another host bridge; a press already left in a register stays there.
  void SetVendor(uint16_t vendor, uint16_t device);
  bool IsSis() const { return m_s->vendor == kSisVendor; }
  uint16_t Vendor() const { return m_s->vendor; }

  // Firmware: a press of button n (1..4) as the firmware of this chipset reports it.
  void PressButton(int n);
  // Puts a raw byte in a register, as another owner of CMOS would.
  void SetCmos(int bank, uint8_t reg, uint8_t value);
  uint8_t Cmos(int bank, uint8_t reg) const;
  // The button register of this chipset: bank 0 register 0x7B or bank 1 register 0xE0.
  void SetButtonByte(uint8_t value);

  // Faults. The next reads of the button register return these values (one
  // each, at most kScriptSize waiting) instead of what it holds.
  void ScriptButtonReads(std::initializer_list<uint8_t> values);
  // The firmware ignores writes to the button register, so an acknowledgement
  // never reads back.
  void SetAckIgnored(bool ignored) { m_s->ackIgnored = ignored; }
  // A sloppy port library: a 16-bit read of the PCI data port also returns these
  // bits above bit 15.
  void SetPciHighBits(uint32_t bits) { m_s->pciHighBits = bits; }

  // Counters, for the tests.
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
  uint8_t ReadByte(uint16_t port);
  void WriteByte(uint16_t port, uint8_t value);
  uint8_t Selected(int bank) const;
  bool IsButtonRegister(int bank, uint8_t reg) const;

  ChipsetState m_own{};
  ChipsetState* m_s = &m_own;

  uint64_t m_reads = 0;
  uint64_t m_writes = 0;
  uint64_t m_buttonWrites = 0;
  uint32_t m_lastButtonWrite = 0;
};

}  // namespace zeph

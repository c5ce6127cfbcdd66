#pragma once
#include <cstdint>

#include "platform/chipset.h"
#include "platform/desktop.h"
#include "platform/poll_timer.h"
#include "platform/port_io.h"

namespace zeph {

// 1..4 select a launch button; any other value means no press.
using ButtonCode = int;

enum class ChipsetVariant { kSis, kExtendedBank };

// Whether a value of the SiS button register reports a press (button in the high nibble).
inline bool IsSisPress(uint32_t v) { return v >= 0x10 && v <= 0x4F; }

// Reads the launch-button code the firmware left in CMOS, confirming and
// acknowledging a press. Keeps no state between calls.
class ButtonReader {
 public:
  // A CMOS write lands within microseconds, so an acknowledgement that has not read
  // back after this many reads never will (a refused write, a stuck register). Each
  // read may be a driver request on the window's thread: the bound keeps the tray
  // answering, a few milliseconds at worst.
  static constexpr unsigned kReadBackLimit = 100;
  static constexpr unsigned kConfirmSleepMs = 5;

  ButtonReader(IPortIO& ports, ISleeper& sleeper) : m_ports(ports), m_sleeper(sleeper) {}

  ButtonCode ReadCode(IPollTimer& timer);
  ChipsetVariant ProbeVariant();

 private:
  uint32_t ReadRegister(uint16_t indexPort, uint16_t dataPort, uint8_t reg);
  void WriteRegister(uint16_t indexPort, uint16_t dataPort, uint8_t reg, uint32_t value);
  ButtonCode ReadSis(IPollTimer& timer);
  ButtonCode ReadExtendedBank();

  IPortIO& m_ports;
  ISleeper& m_sleeper;
};

}  // namespace zeph

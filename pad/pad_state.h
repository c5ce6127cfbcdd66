#pragma once
// What the launch-button pad reads and does, without windows: the chipset's
// state read through the port library with the program's own port sequence
// (so it works with the hardware library too), and the command line.
#include <cstdint>
#include <string>

#include "platform/port_io.h"

namespace zeph::pad {

struct PadState {
  uint16_t vendor = 0;
  uint8_t sisRegister = 0;  // register 0x7B of the first bank
  uint8_t extRegister = 0;  // register 0xE0 of the second bank
};

// Probes the host bridge and reads both button registers, without acknowledging anything.
PadState ReadPadState(IPortIO& ports);
bool IsSis(const PadState& s);
// The button (1..4) the program will find on its next tick, 0 for none.
int WaitingButton(const PadState& s);
// Four lines: vendor, both registers, the waiting press.
std::string FormatPadState(const PadState& s);

enum class CommandKind { kWindow, kPress, kRaw, kChipset, kShow, kBad };
struct Command {
  CommandKind kind = CommandKind::kBad;
  int value = 0;  // the button, the raw byte, or 1 for SiS and 0 for another chipset
};
// args excludes the program name.
Command ParseCommand(int argc, const char* const* args);
constexpr const char* kUsage = "usage: zephpad [press 1..4 | raw 0xNN | chipset sis|other | show]\n";

}  // namespace zeph::pad

#include "pad/pad_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "monitor/button_reader.h"

namespace zeph::pad {

using namespace chipset;

namespace {
uint8_t ReadRegister(IPortIO& ports, uint16_t indexPort, uint16_t dataPort, uint8_t reg) {
  ports.Write(indexPort, reg, kPortByte);
  return static_cast<uint8_t>(ports.Read(dataPort, kPortByte));
}
}  // namespace

PadState ReadPadState(IPortIO& ports) {
  PadState s;
  ports.Write(kPciAddressPort, kPciHostBridgeVendor, kPortDword);
  s.vendor = static_cast<uint16_t>(ports.Read(kPciDataPort, kPortWord));
  s.sisRegister = ReadRegister(ports, kCmosIndexPort, kCmosDataPort, kSisButtonRegister);
  s.extRegister = ReadRegister(ports, kExtIndexPort, kExtDataPort, kExtButtonRegister);
  return s;
}

bool IsSis(const PadState& s) { return s.vendor == kSisVendorId; }

int WaitingButton(const PadState& s) {
  if (IsSis(s)) return IsSisPress(s.sisRegister) ? s.sisRegister >> 4 : 0;
  return s.extRegister >= 1 && s.extRegister <= 4 ? s.extRegister : 0;
}

std::string FormatPadState(const PadState& s) {
  char text[256];
  const int button = WaitingButton(s);
  char waiting[32] = "none";
  if (button) std::snprintf(waiting, sizeof waiting, "button %d", button);
  std::snprintf(text, sizeof text,
                "vendor 0x%04X (%s)\nregister 0x7B (first bank): 0x%02X\n"
                "register 0xE0 (second bank): 0x%02X\npress waiting: %s\n",
                s.vendor, IsSis(s) ? "SiS: register 0x7B" : "other: register 0xE0", s.sisRegister,
                s.extRegister, waiting);
  return text;
}

Command ParseCommand(int argc, const char* const* args) {
  Command c;
  if (argc == 0) return {CommandKind::kWindow, 0};
  const std::string verb = args[0];
  if (argc == 1) {
    if (verb == "show") c.kind = CommandKind::kShow;
    return c;
  }
  if (argc != 2) return c;
  const char* arg = args[1];
  char* end = nullptr;
  const unsigned long n = std::strtoul(arg, &end, 0);
  const bool number = *arg >= '0' && *arg <= '9' && *end == '\0';
  if (verb == "press" && number && n >= 1 && n <= 4) return {CommandKind::kPress, static_cast<int>(n)};
  if (verb == "raw" && number && n <= 0xFF) return {CommandKind::kRaw, static_cast<int>(n)};
  if (verb == "chipset" && (std::strcmp(arg, "sis") == 0 || std::strcmp(arg, "other") == 0)) {
    return {CommandKind::kChipset, arg[0] == 's'};
  }
  return c;
}

}  // namespace zeph::pad

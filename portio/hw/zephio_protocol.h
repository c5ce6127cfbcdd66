#pragma once
// The requests zephio.sys answers, as the driver, PortIO.dll and the native tests
// all see them. Plain C++ without windows.h: it is compiled into kernel mode too,
// so nothing here may need the C++ runtime.
//
// A request names what it wants (the host bridge's vendor, one of the two button
// registers), never a port: the driver is reachable by every interactive user and
// must not become a general port-access gate.
#include <stdint.h>
#include <string.h>

#include "platform/chipset.h"

namespace zephio {

// The device, as the DLL opens it and as the driver names it.
#define ZEPHIO_USER_PATH "\\\\.\\ZephIO"
#define ZEPHIO_DEVICE_NAME L"\\Device\\ZephIO"
#define ZEPHIO_LINK_NAME L"\\DosDevices\\ZephIO"

// CTL_CODE spelt out, so that the codes are the same numbers without the DDK.
constexpr uint32_t kDeviceType = 0xA5E0;  // vendor range is 0x8000..0xFFFF
constexpr uint32_t kMethodBuffered = 0;
constexpr uint32_t kFileReadAccess = 1;
constexpr uint32_t kFileWriteAccess = 2;
constexpr uint32_t ControlCode(uint32_t function, uint32_t access) {
  return (kDeviceType << 16) | (access << 14) | (function << 2) | kMethodBuffered;
}
// The I/O manager checks the access bits against the caller's handle, so a read
// needs a handle opened for reading and a write one opened for writing.
constexpr uint32_t kIoctlRead = ControlCode(0x900, kFileReadAccess);
constexpr uint32_t kIoctlWrite = ControlCode(0x901, kFileWriteAccess);
static_assert((kIoctlRead >> 14 & 3) == kFileReadAccess && (kIoctlWrite >> 14 & 3) == kFileWriteAccess,
              "never FILE_ANY_ACCESS: the handle's rights must be checked");

enum Target : uint32_t {
  kHostBridgeVendor = 1,  // PCI bus 0, device 0, function 0, offset 0, 16 bits; read only
  kCmosButton = 2,        // register 0x7B of the standard CMOS bank (0x70/0x71)
  kExtButton = 3,         // register 0xE0 of the bank behind 0x72/0x73
};

constexpr uint8_t kCmosButtonRegister = zeph::chipset::kSisButtonRegister;
using zeph::chipset::kExtButtonRegister;
using zeph::chipset::kExtDataPort;
using zeph::chipset::kExtIndexPort;

// The one record both ways. Fixed-width fields only: the 32-bit DLL talks to the
// 64-bit driver on 64-bit Windows, and both must agree on every byte.
//  read:  in {target, 0}        out {target, value read}
//  write: in {target, byte}     out nothing
struct Record {
  uint32_t target;
  uint32_t value;
};
static_assert(sizeof(Record) == 8, "the record is part of the driver's interface");

enum class Verdict {
  kOk,
  kUnknownCode,  // not one of our control codes
  kBadSize,      // input or output buffer not exactly what the code needs
  kRefused,      // well-formed, but not a request this driver answers
};

struct Request {
  Target target;
  bool write;
  uint8_t value;  // the byte to write
};

// The record PortIO.dll sends for a request.
inline Record Encode(const Request& request) {
  return Record{static_cast<uint32_t>(request.target), request.write ? request.value : 0u};
}

// The host bridge as the driver read it when it loaded.
struct HostBridge {
  bool vendorKnown = false;
  uint16_t vendor = 0;
};

// Which button register a machine has: 0x7B on an SiS host bridge, 0xE0 on any
// other, one whose vendor could not be read included (the program, reading a
// vendor of 0 then, takes that register too).
inline bool Serves(const HostBridge& host, Target target) {
  const bool sis = host.vendorKnown && host.vendor == zeph::chipset::kSisVendorId;
  return target == (sis ? kCmosButton : kExtButton);
}

// The only writes the program makes, each to the value the register holds now:
// 0x7B acknowledged (a press, button 1 to 4 in the high nibble, with that nibble
// cleared and the firmware's low nibble kept) or rewritten unchanged, 0xE0
// rewritten unchanged. Any user may ask, so the high bits the firmware sets
// outside a press are never cleared.
inline bool WriteAllowed(Target target, uint8_t held, uint8_t value) {
  const bool press = held >= 0x10 && held <= 0x4F;
  switch (target) {
    case kCmosButton: return value == held || (press && value == (held & 0x0F));
    case kExtButton: return value == held;
    default: return false;
  }
}

// Decides whether a control request is one we answer. The input is read only
// after its size has been found right, so a short buffer is never overrun.
inline Verdict Decode(uint32_t code, const void* input, uint32_t inputSize,
                      uint32_t outputSize, Request* out) {
  if (code != kIoctlRead && code != kIoctlWrite) return Verdict::kUnknownCode;
  const bool write = code == kIoctlWrite;
  if (inputSize != sizeof(Record) || !input) return Verdict::kBadSize;
  if (outputSize != (write ? 0u : sizeof(Record))) return Verdict::kBadSize;

  Record r;
  memcpy(&r, input, sizeof r);
  switch (r.target) {
    case kHostBridgeVendor:
      if (write) return Verdict::kRefused;
      break;
    case kCmosButton:
    case kExtButton:
      break;
    default:
      return Verdict::kRefused;
  }
  // A read carries no value; a write carries one byte and nothing above it.
  if (write ? r.value > 0xFF : r.value != 0) return Verdict::kRefused;

  out->target = static_cast<Target>(r.target);
  out->write = write;
  out->value = static_cast<uint8_t>(r.value);
  return Verdict::kOk;
}

}  // namespace zephio

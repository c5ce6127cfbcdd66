#pragma once
// Port I/O as the launch-button reader sees it. On Windows this is PortIO.dll;
// in the native tests it is the simulated chipset.
#include <cstdint>

namespace zeph {

// Access width codes, exactly as PortIO.dll takes them.
enum PortWidth : int { kPortByte = 0, kPortWord = 1, kPortDword = 2 };

class IPortIO {
 public:
  virtual ~IPortIO() = default;
  // Returns the value read, zero-extended: an 8-bit read has all higher bits clear.
  virtual uint32_t Read(uint16_t port, PortWidth width) = 0;
  virtual void Write(uint16_t port, uint32_t value, PortWidth width) = 0;
};

}  // namespace zeph

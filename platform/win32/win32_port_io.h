#pragma once
#include <windows.h>

#include "platform/port_io.h"
#include "platform/portio_api.h"

namespace zeph {

// Port I/O through PortIO.dll, loaded at run time from the program's folder (a
// name with a folder: from there). Without the library (or its exports) every read is 0 and
// writes go nowhere, so the program simply never sees a press.
class Win32PortIO : public IPortIO {
 public:
  explicit Win32PortIO(const char* dllName = PORTIO_DLL_NAME);
  ~Win32PortIO() override;
  Win32PortIO(const Win32PortIO&) = delete;
  Win32PortIO& operator=(const Win32PortIO&) = delete;

  bool Loaded() const { return m_read && m_write; }
  uint32_t Read(uint16_t port, PortWidth width) override;
  void Write(uint16_t port, uint32_t value, PortWidth width) override;

 private:
  HMODULE m_module = nullptr;
  ReadIOPortFn m_read = nullptr;
  WriteIOPortFn m_write = nullptr;
};

}  // namespace zeph

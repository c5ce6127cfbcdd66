#include "platform/win32/win32_port_io.h"

namespace zeph {

Win32PortIO::Win32PortIO(const char* dllName) {
  // No "cannot find DLL" box from the system when the library is absent.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  m_module = LoadLibraryA(dllName);
  SetErrorMode(oldMode);
  if (!m_module) return;
  m_read = reinterpret_cast<ReadIOPortFn>(reinterpret_cast<void*>(GetProcAddress(m_module, PORTIO_READ_EXPORT)));
  m_write = reinterpret_cast<WriteIOPortFn>(reinterpret_cast<void*>(GetProcAddress(m_module, PORTIO_WRITE_EXPORT)));
  if (!Loaded()) {
    m_read = nullptr;
    m_write = nullptr;
  }
}

Win32PortIO::~Win32PortIO() {
  if (m_module) FreeLibrary(m_module);
}

uint32_t Win32PortIO::Read(uint16_t port, PortWidth width) { return m_read ? m_read(port, width) : 0; }

void Win32PortIO::Write(uint16_t port, uint32_t value, PortWidth width) {
  if (m_write) m_write(port, value, width);
}

}  // namespace zeph

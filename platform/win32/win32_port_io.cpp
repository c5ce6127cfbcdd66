#include "platform/win32/win32_port_io.h"

#include <string.h>

namespace zeph {

Win32PortIO::Win32PortIO(const char* dllName) {
  // A bare name is loaded from the program's own folder by its full path, never
  // searched for: the search would go on through PATH when the file is missing,
  // and a folder there that a user may change would hand its own library to a
  // program that starts at every logon, administrators' included.
  char path[MAX_PATH];
  if (!strchr(dllName, '\\')) {
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = length < MAX_PATH ? strrchr(path, '\\') : nullptr;
    if (!slash || (slash + 1 - path) + strlen(dllName) >= MAX_PATH) return;
    strcpy(slash + 1, dllName);
    dllName = path;
  }
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

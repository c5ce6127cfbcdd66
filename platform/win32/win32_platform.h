#pragma once
// The Win32 implementations of the platform interfaces, together: what the
// program's logic needs from Windows.
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_port_io.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_session.h"

namespace zeph {

struct Win32Platform {
  Win32Registry registry;
  Win32WindowFinder windows;
  Win32ProgramStarter starter;
  Win32Sleeper sleeper;
  Win32PortIO ports;
  Win32ConsoleSession session;
};

}  // namespace zeph

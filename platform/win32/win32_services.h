#pragma once
// The process-wide platform objects and the button slots, which live from the
// first use to process exit.
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_port_io.h"
#include "platform/win32/win32_registry.h"
#include "settings/slot_store.h"

namespace zeph {

struct Win32Services {
  Win32Registry registry;
  Win32WindowFinder windows;
  Win32ProgramStarter starter;
  Win32Sleeper sleeper;
  Win32PortIO ports;
  SlotStore slots{registry, windows};
};

Win32Services& Services();

}  // namespace zeph

// PortIO.dll for the notebook itself. On Windows 9x/ME it does the port accesses
// with in/out, any port: there every program may do the same, so the library is no
// gate. On the NT family it asks zephio.sys, which answers only the launch-button
// reader's requests, and refuses everything else here already.
#include <windows.h>

#include "platform/portio_api.h"
#include "portio/hw/port_instructions.h"
#include "portio/hw/port_sequence.h"

namespace {

// The program polls from one thread, but the index-then-data pairs and the lazily
// opened device are shared state: keep any second caller out of the middle.
CRITICAL_SECTION g_lock;
bool g_win9x = false;
zephio::PortSequence g_sequence;
HANDLE g_device = INVALID_HANDLE_VALUE;

class Lock {
 public:
  Lock() { EnterCriticalSection(&g_lock); }
  ~Lock() { LeaveCriticalSection(&g_lock); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
};

// Opened at the first request. When that fails it is tried again, since the
// driver may be started after the program, but at most every few seconds: the
// program polls several ports a second, and a machine without the driver should
// not pay an open for each.
HANDLE Device() {
  constexpr DWORD kRetryMs = 5000;
  static DWORD lastTry = 0;
  static bool tried = false;
  if (g_device == INVALID_HANDLE_VALUE && (!tried || GetTickCount() - lastTry >= kRetryMs)) {
    tried = true;
    lastTry = GetTickCount();
    g_device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return g_device;
}

// Any failure (no driver, an error from the hardware layer) reads as 0: the
// program then sees no press.
uint32_t Send(const zephio::Request& request) {
  const HANDLE device = Device();
  if (device == INVALID_HANDLE_VALUE) return 0;
  zephio::Record in = zephio::Encode(request);
  zephio::Record out = {0, 0};
  DWORD got = 0;
  if (request.write) {
    DeviceIoControl(device, zephio::kIoctlWrite, &in, sizeof in, nullptr, 0, &got, nullptr);
    return 0;
  }
  if (!DeviceIoControl(device, zephio::kIoctlRead, &in, sizeof in, &out, sizeof out, &got, nullptr) ||
      got != sizeof out || out.target != in.target) {
    return 0;
  }
  return out.value & (request.target == zephio::kHostBridgeVendor ? 0xFFFFu : 0xFFu);
}

}  // namespace

extern "C" uint32_t PORTIO_CALL ReadIOPort(uint16_t port, int width) {
  if (g_win9x) return zephio::PortIn(port, width);
  Lock lock;
  zephio::Request request;
  if (g_sequence.Read(port, width, &request) != zephio::PortSequence::Step::kRequest) return 0;
  return Send(request);
}

extern "C" void PORTIO_CALL WriteIOPort(uint16_t port, uint32_t value, int width) {
  if (g_win9x) {
    zephio::PortOut(port, value, width);
    return;
  }
  Lock lock;
  zephio::Request request;
  if (g_sequence.Write(port, value, width, &request) == zephio::PortSequence::Step::kRequest) Send(request);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    InitializeCriticalSection(&g_lock);
    // The high bit of the version marks Windows 9x/ME: no driver there, and none needed.
    g_win9x = (GetVersion() & 0x80000000u) != 0;
  } else if (reason == DLL_PROCESS_DETACH) {
    // At process exit the system closes the handle itself; only an unload tidies up.
    if (!reserved && g_device != INVALID_HANDLE_VALUE) CloseHandle(g_device);
    DeleteCriticalSection(&g_lock);
  }
  return TRUE;
}

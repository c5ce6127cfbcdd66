// PortIO.dll for the notebook itself. On Windows 9x/ME it does the port accesses
// with in/out, any port: there every program may do the same, so the library is no
// gate. On the NT family it asks zephio.sys, which answers only the launch-button
// reader's requests, and refuses everything else here already.
#include <windows.h>

#include "platform/portio_api.h"
#include "platform/win32/system_export.h"
#include "portio/hw/device_link.h"
#include "portio/hw/port_instructions.h"
#include "portio/hw/port_sequence.h"

namespace {

// The program polls from one thread, but the index-then-data pairs and the device
// handle are shared state: keep any second caller out of the middle.
CRITICAL_SECTION g_lock;
bool g_win9x = false;
zephio::PortSequence g_sequence;

class Lock {
 public:
  Lock() { EnterCriticalSection(&g_lock); }
  ~Lock() { LeaveCriticalSection(&g_lock); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
};

struct DeviceOps {
  HANDLE handle = INVALID_HANDLE_VALUE;
  uint32_t Now() const { return GetTickCount(); }
  bool Open() {
    handle = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  }
  void Close() {
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
};
DeviceOps g_deviceOps;
zephio::DeviceLink<DeviceOps> g_device(g_deviceOps);

// Any failure (no driver, a refused request, an error from the hardware layer)
// reads as 0: the program then sees no press.
uint32_t Send(const zephio::Request& request) {
  zephio::Record in = zephio::Encode(request);
  zephio::Record out = {0, 0};
  const bool ok = g_device.Request([&] {
    const HANDLE device = g_deviceOps.handle;
    DWORD got = 0;
    if (request.write) return DeviceIoControl(device, zephio::kIoctlWrite, &in, sizeof in, nullptr, 0, &got, nullptr) != 0;
    return DeviceIoControl(device, zephio::kIoctlRead, &in, sizeof in, &out, sizeof out, &got, nullptr) &&
           got == sizeof out && out.target == in.target;
  });
  if (!ok || request.write) return 0;
  return out.value & (request.target == zephio::kHostBridgeVendor ? 0xFFFFu : 0xFFu);
}

// Windows 9x/ME, where a program may use in/out itself. Not told by GetVersion's
// high bit or GetVersionEx, which a compatibility setting on the NT family makes
// say "Windows 98" as well, but by ntdll's RtlGetVersion, which the NT family has
// (2000 and later) and those settings leave alone. Without it: 9x, or NT 4, which
// has no such settings and whose GetVersion tells the truth.
bool DirectPortAccess() {
  typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
  const auto rtlGetVersion = zeph::SystemExport<RtlGetVersionFn>("ntdll.dll", "RtlGetVersion");
  if (!rtlGetVersion) return (GetVersion() & 0x80000000u) != 0;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  return rtlGetVersion(&info) == 0 && info.dwPlatformId != VER_PLATFORM_WIN32_NT;
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
    // No driver on Windows 9x/ME, and none needed.
    g_win9x = DirectPortAccess();
  } else if (reason == DLL_PROCESS_DETACH) {
    // At process exit the system closes the handle itself; only an unload tidies up.
    if (!reserved) g_device.Close();
    DeleteCriticalSection(&g_lock);
  }
  return TRUE;
}

// The hardware PortIO.dll and zephio.sys under Wine. ctest runs this program three
// times, each in a prefix of its own: Win9xPath in Windows 98 mode (the only mode
// in which Wine emulates in/out), NoDriver and Driver in the default NT mode.
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include <string.h>

#include <tuple>

#include "platform/win32/win32_port_io.h"
#include "portio/hw/port_sequence.h"
#include "test_support.h"

namespace zephio {
namespace {

using zeph::kPortByte;

TEST(Win9xPath, PortsAreReadWithTheAskedWidthAndZeroExtended) {
  ASSERT_NE(GetVersion() & 0x80000000u, 0u) << "needs Wine's Windows 98 mode for this program";
  zeph::Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  // Wine answers a port it does not emulate with all ones, as many as were asked for.
  const uint32_t expected[] = {0xFF, 0xFFFF, 0xFFFFFFFF, 0};
  for (int width = 0; width < 4; ++width) EXPECT_EQ(ports.Read(kPciDataPort, zeph::PortWidth(width)), expected[width]);
  // Wine's CMOS is 64 bytes, register n & 0x3F: what goes in through 0x7B comes
  // back through 0x3B, with its top bit set and nothing above the byte.
  ports.Write(kCmosIndexPort, kCmosButtonRegister, kPortByte);
  ports.Write(kCmosDataPort, 0xA5, kPortByte);
  ports.Write(kCmosIndexPort, kCmosButtonRegister & 0x3F, kPortByte);
  EXPECT_EQ(ports.Read(kCmosDataPort, kPortByte), 0xA5u);
}

// A compatibility setting ("Windows 98") makes GetVersion answer with the high bit
// set on the NT family too. With GetVersion patched to answer Windows 98's value
// for the whole process before the library's first load, the library must still
// ask the driver (here: none, so every read is 0), where in/out would end the
// process with a privileged instruction.
TEST(NoDriver, EveryReadIsZeroAlsoUnderAVersionLieOfACompatibilitySetting) {
  void* const code = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetVersion"));
  const unsigned char patch[] = {0xB8, 0x04, 0x0A, 0x00, 0xC0, 0xC3};  // mov eax, 0xC0000A04; ret
  DWORD protection;
  ASSERT_TRUE(code && VirtualProtect(code, sizeof patch, PAGE_EXECUTE_READWRITE, &protection));
  memcpy(code, patch, sizeof patch);
  FlushInstructionCache(GetCurrentProcess(), code, sizeof patch);
  ASSERT_EQ(GetVersion(), 0xC0000A04u);
  zeph::Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  ports.Write(kPciAddressPort, kHostBridgeVendorAddress, zeph::kPortDword);
  EXPECT_EQ(ports.Read(kPciDataPort, zeph::kPortWord), 0u);
  ports.Write(kCmosIndexPort, kCmosButtonRegister, kPortByte);
  EXPECT_EQ(ports.Read(kCmosDataPort, kPortByte), 0u);
}

// zephio.sys installed and started as a kernel driver service, as the installer
// does; which requests it refuses the native tests cover.
TEST(Driver, StartsAnswersThroughItsDeviceAndStopsCleanly) {
  char sys[MAX_PATH];  // beside this program, in the folder it runs in
  ASSERT_TRUE(GetFullPathNameA("zephio.sys", MAX_PATH, sys, nullptr));
  const SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  const SC_HANDLE service = CreateServiceA(scm, "ZephIO", "ZephIO", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, sys, 0, 0, 0, 0, 0);
  ASSERT_NE(service, nullptr) << GetLastError();
  ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
  const HANDLE device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA, 0, 0, OPEN_EXISTING, 0, 0);
  ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  // Wine's HAL has no PCI bus, so the vendor is unknown and register 0xE0 is served,
  // through ports that 32-bit Wine answers with 0 (so 0 is the one value to write
  // back); its 64-bit driver host dies at a driver's port instruction.
  const struct { DWORD code; Record in; DWORD outSize, error; } rows[] = {
      {kIoctlRead, {kHostBridgeVendor, 0}, 8, ERROR_DEV_NOT_EXIST},
#ifndef _WIN64
      {kIoctlRead, {kExtButton, 0}, 8, 0},
      {kIoctlWrite, {kExtButton, 0}, 0, 0},
#endif
  };
  for (const auto& row : rows) {
    Record out = {0, 0};
    DWORD got = 99;
    const BOOL ok = DeviceIoControl(device, row.code, const_cast<Record*>(&row.in), 8, &out, row.outSize, &got, nullptr);
    EXPECT_EQ(ok ? 0 : GetLastError(), row.error) << "row " << &row - rows;
    if (ok) {  // a read gives its record back, a write nothing
      EXPECT_EQ(std::make_tuple(got, out.target, out.value), std::make_tuple(row.outSize, row.outSize ? row.in.target : 0, 0u));
    }
  }
  CloseHandle(device);
  SERVICE_STATUS status;
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  for (const DWORD start = GetTickCount(); QueryServiceStatus(service, &status) &&
                                           status.dwCurrentState != SERVICE_STOPPED && GetTickCount() - start < zeph::test::WaitLimitMs();)
    Sleep(100);
  EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
  EXPECT_EQ(CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA, 0, 0, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace zephio

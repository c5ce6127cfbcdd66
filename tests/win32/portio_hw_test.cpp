// The hardware PortIO.dll and zephio.sys under Wine. ctest runs this program three
// times, each in a prefix of its own: Win9xPath in Windows 98 mode (the only mode
// in which Wine emulates in/out), NoDriver and Driver in the default NT mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/win32/win32_port_io.h"
#include "portio/hw/port_sequence.h"

namespace zephio {
namespace {

using zeph::PortWidth;

bool IsWin9x() { return (GetVersion() & 0x80000000u) != 0; }

TEST(Win9xPath, PortsAreReadWithTheAskedWidthAndZeroExtended) {
  ASSERT_TRUE(IsWin9x()) << "needs Wine's Windows 98 mode for this program";
  zeph::Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  // Wine answers a port it does not emulate with all ones, as many as were asked for.
  const uint32_t expected[] = {0xFF, 0xFFFF, 0xFFFFFFFF, 0};
  for (int width = 0; width < 4; ++width) EXPECT_EQ(ports.Read(kPciDataPort, PortWidth(width)), expected[width]);
  // Wine's CMOS is 64 bytes, register n & 0x3F: what goes in through 0x7B comes
  // back through 0x3B, and nothing above the byte.
  for (uint32_t value : {0x5Au, 0xA5u, 0x00u}) {
    ports.Write(kCmosIndexPort, kCmosButtonRegister, zeph::kPortByte);
    ports.Write(kCmosDataPort, value, zeph::kPortByte);
    ports.Write(kCmosIndexPort, kCmosButtonRegister & 0x3F, zeph::kPortByte);
    EXPECT_EQ(ports.Read(kCmosDataPort, zeph::kPortByte), value);
  }
}

// The program's sequence; every read is 0 when the driver cannot answer.
TEST(NoDriver, EveryReadIsZero) {
  ASSERT_FALSE(IsWin9x());
  zeph::Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  ports.Write(kPciAddressPort, kHostBridgeVendorAddress, zeph::kPortDword);
  EXPECT_EQ(ports.Read(kPciDataPort, zeph::kPortWord), 0u);
  for (uint16_t bank : {kCmosIndexPort, kExtIndexPort}) {
    ports.Write(bank, bank == kCmosIndexPort ? kCmosButtonRegister : kExtButtonRegister, zeph::kPortByte);
    EXPECT_EQ(ports.Read(bank + 1, zeph::kPortByte), 0u);
  }
}

// zephio.sys installed and started as a kernel driver service, as the installer will.
TEST(Driver, AnswersItsRequestsRefusesTheRestAndStopsCleanly) {
  char sys[MAX_PATH];  // beside this program, in the folder it runs in
  ASSERT_TRUE(GetFullPathNameA("zephio.sys", MAX_PATH, sys, nullptr));
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = CreateServiceA(scm, "ZephIO", "ZephIO", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, sys, 0, 0, 0, 0, 0);
  ASSERT_NE(service, nullptr) << GetLastError();
  ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
  HANDLE device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA, 0, 0, OPEN_EXISTING, 0, 0);
  ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();

  struct Case { DWORD code; uint32_t target, value; DWORD inSize, outSize, error; };
  // One request per answer; which requests are refused the native decoding
  // tests cover. Wine's HAL has no PCI or CMOS bus, reads ports as 0 and drops
  // writes. Not sent: a 0x7B write, as Wine's HalSetBusDataByOffset is a stub
  // that ends the driver host.
  const Case cases[] = {
      {kIoctlRead, kHostBridgeVendor, 0, 8, 8, ERROR_DEV_NOT_EXIST},
      {kIoctlRead, kCmosButton, 0, 8, 8, ERROR_DEV_NOT_EXIST},
      {kIoctlRead, kExtButton, 0, 8, 8, 0},
      {kIoctlWrite, kExtButton, 0x12, 8, 0, 0},
      {kIoctlWrite, kHostBridgeVendor, 0x12, 8, 0, ERROR_INVALID_PARAMETER},
      {kIoctlRead, kExtButton, 0, 7, 8, ERROR_BAD_LENGTH},
      {ControlCode(0x900, 0), kExtButton, 0, 8, 8, ERROR_INVALID_FUNCTION},
  };
  for (const Case& c : cases) {
    Record in[2] = {{c.target, c.value}, {0, 0}}, out[2] = {{0, 1}, {0, 0}};
    DWORD got = 99;
    const BOOL ok = DeviceIoControl(device, c.code, in, c.inSize, out, c.outSize, &got, nullptr);
    EXPECT_EQ(ok ? 0 : GetLastError(), c.error) << c.code << " " << c.target << " " << c.inSize;
    if (!ok) continue;
    EXPECT_EQ(got, c.outSize);  // a read gives its record back, a write nothing
    if (c.outSize) {
      EXPECT_EQ(std::make_pair(out[0].target, out[0].value), std::make_pair(c.target, 0u));
    }
  }

  SERVICE_STATUS status;
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
  CloseHandle(device);
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  for (int i = 0; i < 50 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
    Sleep(100);
  EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
  EXPECT_EQ(CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA, 0, 0, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
  DeleteService(service);
  CloseServiceHandle(service);
  CloseServiceHandle(scm);
}

}  // namespace
}  // namespace zephio

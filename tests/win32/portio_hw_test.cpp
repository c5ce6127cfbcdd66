// The hardware PortIO.dll and zephio.sys under Wine. ctest runs this program three
// times, each in a prefix of its own: Win9xPath in Windows 98 mode (the only mode
// in which Wine emulates in/out), NoDriver and Driver in the default NT mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <memory>
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

// A compatibility setting ("Windows 98") makes GetVersion answer with the high bit
// set on the NT family too. PatchedGetVersion makes it answer Windows 98's value for
// the whole process while the library loads and works: it must still ask the
// driver, where in/out would end the process with a privileged instruction.
class PatchedGetVersion {
 public:
  PatchedGetVersion() {
    code_ = reinterpret_cast<unsigned char*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetVersion")));
    const unsigned char patch[sizeof saved_] = {0xB8, 0x04, 0x0A, 0x00, 0xC0, 0xC3};  // mov eax, 0xC0000A04; ret
    Write(patch, saved_);
  }
  ~PatchedGetVersion() { Write(saved_, nullptr); }
  PatchedGetVersion(const PatchedGetVersion&) = delete;
  PatchedGetVersion& operator=(const PatchedGetVersion&) = delete;

 private:
  void Write(const unsigned char* bytes, unsigned char* old) {
    DWORD protection;
    if (!code_ || !VirtualProtect(code_, sizeof saved_, PAGE_EXECUTE_READWRITE, &protection)) return;
    if (old) memcpy(old, code_, sizeof saved_);
    memcpy(code_, bytes, sizeof saved_);
    VirtualProtect(code_, sizeof saved_, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), code_, sizeof saved_);
  }
  unsigned char* code_ = nullptr;
  unsigned char saved_[6] = {};
};

// The program's sequence; every read is 0 when the driver cannot answer. The
// library's first load in this process is the one under the version lie.
TEST(NoDriver, EveryReadIsZeroAlsoUnderAVersionLieOfACompatibilitySetting) {
  ASSERT_FALSE(IsWin9x());
  for (bool lie : {true, false}) {
    std::unique_ptr<PatchedGetVersion> patch(lie ? new PatchedGetVersion : nullptr);
    ASSERT_EQ(GetVersion() == 0xC0000A04u, lie) << "GetVersion patched: " << lie;
    zeph::Win32PortIO ports;
    ASSERT_TRUE(ports.Loaded());
    ports.Write(kPciAddressPort, kHostBridgeVendorAddress, zeph::kPortDword);
    EXPECT_EQ(ports.Read(kPciDataPort, zeph::kPortWord), 0u) << lie;
    for (uint16_t bank : {kCmosIndexPort, kExtIndexPort}) {
      ports.Write(bank, bank == kCmosIndexPort ? kCmosButtonRegister : kExtButtonRegister, zeph::kPortByte);
      EXPECT_EQ(ports.Read(bank + 1, zeph::kPortByte), 0u) << lie << " " << bank;
    }
  }
}

// zephio.sys installed and started as a kernel driver service, as the installer will.
class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    char sys[MAX_PATH];  // beside this program, in the folder it runs in
    ASSERT_TRUE(GetFullPathNameA("zephio.sys", MAX_PATH, sys, nullptr));
    scm_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    service_ = CreateServiceA(scm_, "ZephIO", "ZephIO", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, sys, 0, 0, 0, 0, 0);
    ASSERT_NE(service_, nullptr) << GetLastError();
    ASSERT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
    device_ = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA, 0, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    SERVICE_STATUS status;
    if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
    if (service_) ControlService(service_, SERVICE_CONTROL_STOP, &status), DeleteService(service_);
    for (SC_HANDLE h : {service_, scm_}) if (h) CloseServiceHandle(h);
  }

  struct Case { DWORD code; uint32_t target, value; DWORD inSize, outSize, error; };
  void Send(const Case& c) {
    Record in[2] = {{c.target, c.value}, {0, 0}}, out[2] = {{0, 1}, {0, 0}};
    DWORD got = 99;
    const BOOL ok = DeviceIoControl(device_, c.code, in, c.inSize, out, c.outSize, &got, nullptr);
    EXPECT_EQ(ok ? 0 : GetLastError(), c.error) << c.code << " " << c.target << " " << c.inSize;
    if (!ok) return;
    EXPECT_EQ(got, c.outSize);  // a read gives its record back, a write nothing
    if (c.outSize) {
      EXPECT_EQ(std::make_pair(out[0].target, out[0].value), std::make_pair(c.target, 0u));
    }
  }

  SC_HANDLE scm_ = nullptr, service_ = nullptr;
  HANDLE device_ = INVALID_HANDLE_VALUE;
};

TEST_F(Driver, AnswersItsRequestsRefusesTheRestAndStopsCleanly) {
  // One request per answer; which requests are refused the native tests cover.
  // Wine's HAL has no PCI bus, so the vendor is unknown and the host bridge is
  // not an SiS one: register 0x7B is refused.
  const Case cases[] = {
      {kIoctlRead, kHostBridgeVendor, 0, 8, 8, ERROR_DEV_NOT_EXIST},
      {kIoctlRead, kCmosButton, 0, 8, 8, ERROR_INVALID_PARAMETER},
      {kIoctlWrite, kCmosButton, 0, 8, 0, ERROR_INVALID_PARAMETER},
      {kIoctlWrite, kHostBridgeVendor, 0x12, 8, 0, ERROR_INVALID_PARAMETER},
      {kIoctlRead, kExtButton, 0, 7, 8, ERROR_BAD_LENGTH},
      {ControlCode(0x900, 0), kExtButton, 0, 8, 8, ERROR_INVALID_FUNCTION},
  };
  for (const Case& c : cases) Send(c);

  SERVICE_STATUS status;
  ASSERT_TRUE(QueryServiceStatus(service_, &status));
  EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
  CloseHandle(device_);
  device_ = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(ControlService(service_, SERVICE_CONTROL_STOP, &status));
  for (int i = 0; i < 50 && QueryServiceStatus(service_, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
    Sleep(100);
  EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
  EXPECT_EQ(CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA, 0, 0, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
}

// The bank behind 0x72/0x73 goes through the HAL's port calls, which Wine
// answers with 0 and drops: the register holds 0, so only 0 may be written back.
TEST_F(Driver, ReadsAndWritesTheExtendedBankThroughItsPorts) {
#ifdef _WIN64
  GTEST_SKIP() << "Wine's 64-bit driver host dies at a driver's port instruction (it emulates them "
                  "only for 32-bit drivers); the 32-bit driver runs this under 32-bit Wine";
#endif
  const Case cases[] = {
      {kIoctlRead, kExtButton, 0, 8, 8, 0},
      {kIoctlWrite, kExtButton, 0, 8, 0, 0},
      {kIoctlWrite, kExtButton, 0x12, 8, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) Send(c);
}

}  // namespace
}  // namespace zephio

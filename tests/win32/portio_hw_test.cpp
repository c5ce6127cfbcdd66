// The hardware PortIO.dll and zephio.sys under Wine. ctest runs this program three
// times, each in a prefix of its own: Win9xPath in Windows 98 mode (the only mode
// in which Wine emulates in/out), NoDriver and Driver in the default NT mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor/button_reader.h"
#include "platform/win32/win32_port_io.h"
#include "portio/hw/zephio_protocol.h"

namespace zeph {
namespace {

using namespace chipset;

bool IsWin9x() { return (GetVersion() & 0x80000000u) != 0; }

struct NoSleep : ISleeper {
  void Sleep(unsigned) override {}
};
struct NoTimer : IPollTimer {
  void SetPeriod(unsigned) override {}
};

TEST(Win9xPath, PortsAreReadWithTheAskedWidthAndZeroExtended) {
  ASSERT_TRUE(IsWin9x()) << "needs Wine's Windows 98 mode for this program";
  Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  // Wine answers a port it does not emulate with all ones, as many as were asked for.
  EXPECT_EQ(ports.Read(kPciDataPort, kPortByte), 0xFFu);
  EXPECT_EQ(ports.Read(kPciDataPort, kPortWord), 0xFFFFu);
  EXPECT_EQ(ports.Read(kPciDataPort, kPortDword), 0xFFFFFFFFu);
  EXPECT_EQ(ports.Read(kPciDataPort, static_cast<PortWidth>(3)), 0u);

  // Wine's CMOS is 64 bytes, register n & 0x3F: a byte written through register
  // 0x7B comes back through 0x3B, and nothing above it.
  for (uint32_t value : {0x5Au, 0xA5u, 0x00u}) {
    ports.Write(kCmosIndexPort, kSisButtonRegister, kPortByte);
    ports.Write(kCmosDataPort, value, kPortByte);
    ports.Write(kCmosIndexPort, kSisButtonRegister & 0x3F, kPortByte);
    EXPECT_EQ(ports.Read(kCmosDataPort, kPortByte), value);
  }

  // The program's probe: all ones is no SiS vendor, so it takes the extended bank.
  NoSleep sleeper;
  ButtonReader reader(ports, sleeper);
  EXPECT_EQ(reader.ProbeVariant(), ChipsetVariant::kExtendedBank);
}

TEST(NoDriver, EveryReadIsZero) {
  ASSERT_FALSE(IsWin9x());
  HANDLE device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_EQ(device, INVALID_HANDLE_VALUE) << "the driver should not be there";
  Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  ports.Write(kPciAddressPort, kPciHostBridgeVendor, kPortDword);
  EXPECT_EQ(ports.Read(kPciDataPort, kPortWord), 0u);
  ports.Write(kCmosIndexPort, kSisButtonRegister, kPortByte);
  EXPECT_EQ(ports.Read(kCmosDataPort, kPortByte), 0u);
  ports.Write(kExtIndexPort, kExtButtonRegister, kPortByte);
  EXPECT_EQ(ports.Read(kExtDataPort, kPortByte), 0u);
  NoSleep sleeper;
  NoTimer timer;
  EXPECT_EQ(ButtonReader(ports, sleeper).ReadCode(timer), 0);
}

// zephio.sys installed and started as a kernel driver service, as the installer
// will do it; stopped and removed after each test.
class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(IsWin9x());
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::string sys(path);
    sys.replace(sys.find_last_of('\\') + 1, std::string::npos, "zephio.sys");

    m_scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(m_scm, nullptr) << GetLastError();
    m_service = CreateServiceA(m_scm, "ZephIO", "ZephIO", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                               SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, sys.c_str(), nullptr, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(m_service, nullptr) << GetLastError();
    ASSERT_TRUE(StartServiceA(m_service, 0, nullptr)) << GetLastError();
    m_device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(m_device, INVALID_HANDLE_VALUE) << GetLastError();
  }

  void TearDown() override {
    if (m_device != INVALID_HANDLE_VALUE) CloseHandle(m_device);
    if (m_service) {
      Stop();
      DeleteService(m_service);
      CloseServiceHandle(m_service);
    }
    if (m_scm) CloseServiceHandle(m_scm);
  }

  // Waits for the stop: the next test creates the service again under the same name.
  bool Stop() {
    SERVICE_STATUS status;
    if (!ControlService(m_service, SERVICE_CONTROL_STOP, &status)) return false;
    for (int i = 0; i < 50; ++i) {
      if (QueryServiceStatus(m_service, &status) && status.dwCurrentState == SERVICE_STOPPED) return true;
      Sleep(100);
    }
    return false;
  }

  bool Running() const {
    SERVICE_STATUS status;
    return QueryServiceStatus(m_service, &status) && status.dwCurrentState == SERVICE_RUNNING;
  }

  // Returns 0 on success, else the error; *reply gets what came back.
  DWORD Call(DWORD code, uint32_t target, uint32_t value, DWORD inSize, DWORD outSize, zephio::Record* reply,
             DWORD* got) {
    zephio::Record in[2] = {{target, value}, {0, 0}};
    zephio::Record out[2] = {{0xEEEEEEEE, 0xEEEEEEEE}, {0, 0}};
    *got = 0xEEEE;
    const BOOL ok = DeviceIoControl(m_device, code, in, inSize, out, outSize, got, nullptr);
    *reply = out[0];
    return ok ? 0 : GetLastError();
  }

  SC_HANDLE m_scm = nullptr;
  SC_HANDLE m_service = nullptr;
  HANDLE m_device = INVALID_HANDLE_VALUE;
};

TEST_F(Driver, AnswersItsRequestsRefusesTheRestAndKeepsRunning) {
  using namespace zephio;
  constexpr DWORD kRec = sizeof(Record);
  struct Case {
    const char* what;
    DWORD code;
    uint32_t target, value;
    DWORD inSize, outSize;
    DWORD error;
  };
  // Not sent: a 0x7B write. Wine's HalSetBusDataByOffset is an unimplemented stub,
  // and calling it ends the driver host.
  const Case cases[] = {
      // Wine's HAL has neither a PCI nor a CMOS bus: the driver says so.
      {"vendor read", kIoctlRead, kHostBridgeVendor, 0, kRec, kRec, ERROR_DEV_NOT_EXIST},
      {"0x7B read", kIoctlRead, kCmosButton, 0, kRec, kRec, ERROR_DEV_NOT_EXIST},
      // Wine's HAL port calls read 0 and drop writes.
      {"0xE0 read", kIoctlRead, kExtButton, 0, kRec, kRec, 0},
      {"0xE0 write", kIoctlWrite, kExtButton, 0x12, kRec, 0, 0},

      {"vendor write", kIoctlWrite, kHostBridgeVendor, 0x12, kRec, 0, ERROR_INVALID_PARAMETER},
      {"target 0", kIoctlRead, 0, 0, kRec, kRec, ERROR_INVALID_PARAMETER},
      {"target 4", kIoctlRead, 4, 0, kRec, kRec, ERROR_INVALID_PARAMETER},
      {"target ~0", kIoctlWrite, 0xFFFFFFFF, 0, kRec, 0, ERROR_INVALID_PARAMETER},
      {"read with a value", kIoctlRead, kExtButton, 0xE0, kRec, kRec, ERROR_INVALID_PARAMETER},
      {"write above a byte", kIoctlWrite, kCmosButton, 0x100, kRec, 0, ERROR_INVALID_PARAMETER},

      {"no record", kIoctlRead, kExtButton, 0, 0, kRec, ERROR_BAD_LENGTH},
      {"short record", kIoctlRead, kExtButton, 0, kRec - 1, kRec, ERROR_BAD_LENGTH},
      {"long record", kIoctlWrite, kExtButton, 0, kRec + 4, 0, ERROR_BAD_LENGTH},
      {"short reply", kIoctlRead, kExtButton, 0, kRec, 4, ERROR_BAD_LENGTH},
      {"long reply", kIoctlRead, kExtButton, 0, kRec, kRec * 2, ERROR_BAD_LENGTH},
      {"write wanting a reply", kIoctlWrite, kExtButton, 0, kRec, kRec, ERROR_BAD_LENGTH},

      {"next function", ControlCode(0x902, kFileReadAccess), kExtButton, 0, kRec, kRec, ERROR_INVALID_FUNCTION},
      {"read, any access", ControlCode(0x900, 0), kExtButton, 0, kRec, kRec, ERROR_INVALID_FUNCTION},
      {"write, read access", ControlCode(0x901, kFileReadAccess), kExtButton, 0, kRec, 0, ERROR_INVALID_FUNCTION},
      {"other device type", (0x22u << 16) | (kIoctlRead & 0xFFFF), kExtButton, 0, kRec, kRec,
       ERROR_INVALID_FUNCTION},
  };
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      Record reply;
      DWORD got;
      ASSERT_EQ(Call(c.code, c.target, c.value, c.inSize, c.outSize, &reply, &got), c.error) << c.what;
      if (c.error) continue;
      if (c.code == kIoctlRead) {
        EXPECT_EQ(got, kRec) << c.what;
        EXPECT_EQ(reply.target, c.target) << c.what;
        EXPECT_EQ(reply.value, 0u) << c.what;
      } else {
        EXPECT_EQ(got, 0u) << c.what;
      }
    }
    EXPECT_TRUE(Running()) << "round " << round;
  }
}

TEST_F(Driver, PortIODllReadsTheProgramsSequenceThroughIt) {
  Win32PortIO ports;
  ASSERT_TRUE(ports.Loaded());
  NoSleep sleeper;
  NoTimer timer;
  // Under Wine the vendor read fails (no PCI bus) and reads as 0, so the reader takes
  // the extended bank, whose register Wine's HAL reads as 0: no press.
  ButtonReader reader(ports, sleeper);
  EXPECT_EQ(reader.ProbeVariant(), ChipsetVariant::kExtendedBank);
  EXPECT_EQ(reader.ReadCode(timer), 0);
  EXPECT_TRUE(Running());
}

TEST_F(Driver, StoppingRemovesTheDevice) {
  CloseHandle(m_device);
  m_device = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(Stop()) << GetLastError();
  HANDLE device = CreateFileA(ZEPHIO_USER_PATH, FILE_READ_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(device, INVALID_HANDLE_VALUE);
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
}

}  // namespace
}  // namespace zeph

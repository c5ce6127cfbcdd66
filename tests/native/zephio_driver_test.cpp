// zephio.sys itself, compiled against a fake kernel and HAL (fake_kernel.h): what
// it asks the HAL and the ports for each request, what it answers, which requests
// it refuses on which machine, and the device it leaves for user mode.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "portio/hw/zephio_protocol.h"
#include "tests/native/fake_kernel.h"

namespace zephio {
namespace {

using Calls = std::vector<std::string>;
FakeKernel& K() { return FakeKernel::Get(); }

constexpr uint16_t kSis = 0x1039, kIntel = 0x8086;
constexpr int kUnreadable = -1;  // a HAL without a PCI bus
constexpr uint8_t kSeconds = 0x42;  // CMOS register 0: the clock's seconds
const std::string kVendorRead = "get PCI bus 0 slot 0x0 offset 0x0 length 2";
const std::string kCmosRead = "get Cmos bus 0 slot 0x7B offset 0x0 length 1";
std::string CmosWrite(unsigned value) {
  char text[64];
  snprintf(text, sizeof text, "set Cmos bus 0 slot 0x7B offset 0x0 length 1 = 0x%X", value);
  return text;
}
const Calls kExtRead = {"out 0x72 0xE0", "in 0x73"};

class ZephioDriver : public ::testing::Test {
 protected:
  void SetUp() override { K().Reset(); }
  void TearDown() override {
    if (loaded_) driver_.DriverUnload(&driver_);
  }

  NTSTATUS Load(int vendor) {
    if (vendor == kUnreadable)
      K().pciBus = false;
    else
      K().SetVendor(static_cast<uint16_t>(vendor));
    K().cmos[0] = kSeconds;
    const NTSTATUS status = DriverEntry(&driver_, nullptr);
    loaded_ = NT_SUCCESS(status);
    return status;
  }

  struct Reply {
    NTSTATUS status;
    ULONG_PTR information;
    Record out;
  };
  // One DeviceIoControl as the I/O manager hands it over (METHOD_BUFFERED: one
  // system buffer for the input and the output).
  Reply Send(uint32_t code, Record in, ULONG inSize, ULONG outSize) {
    Record buffer[2] = {in, {0xAAAAAAAA, 0xAAAAAAAA}};
    IRP irp = {};
    irp.AssociatedIrp.SystemBuffer = buffer;
    irp.stack.MajorFunction = IRP_MJ_DEVICE_CONTROL;
    irp.stack.Parameters.DeviceIoControl.IoControlCode = code;
    irp.stack.Parameters.DeviceIoControl.InputBufferLength = inSize;
    irp.stack.Parameters.DeviceIoControl.OutputBufferLength = outSize;
    K().calls.clear();
    const NTSTATUS returned = driver_.MajorFunction[IRP_MJ_DEVICE_CONTROL](K().device, &irp);
    EXPECT_EQ(irp.completions, 1);
    EXPECT_EQ(returned, irp.IoStatus.Status);
    EXPECT_EQ(K().mutexHeld, 0);
    return {irp.IoStatus.Status, irp.IoStatus.Information, buffer[0]};
  }

  DRIVER_OBJECT driver_ = {};
  bool loaded_ = false;
};

TEST_F(ZephioDriver, LoadsTheVendorOnceAndADeviceOnlyItsUsersReachAndUnloadsClean) {
  ASSERT_EQ(Load(kSis), STATUS_SUCCESS);
  EXPECT_EQ(K().calls, Calls{kVendorRead});
  EXPECT_TRUE(K().mutexReady);
  EXPECT_EQ(K().deviceName, L"\\Device\\ZephIO");
  EXPECT_EQ(K().link, L"\\DosDevices\\ZephIO");
  EXPECT_EQ(K().deviceType, kDeviceType);
  EXPECT_EQ(K().characteristics, FILE_DEVICE_SECURE_OPEN);  // names below the device are checked too
  EXPECT_FALSE(K().exclusive);
  // D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x100083;;;IU)
  ASSERT_TRUE(K().daclSet);
  const std::vector<FakeKernel::Ace> dacl = {
      {0x1F01FF, "S-1-5-18"}, {0x1F01FF, "S-1-5-32-544"}, {0x100083, "S-1-5-4"}};
  EXPECT_EQ(K().dacl, dacl);
  EXPECT_EQ(K().openHandles, 0);
  for (int major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_DEVICE_CONTROL}) ASSERT_NE(driver_.MajorFunction[major], nullptr);
  ASSERT_NE(driver_.DriverUnload, nullptr);

  for (int major : {IRP_MJ_CREATE, IRP_MJ_CLOSE}) {
    IRP irp = {};
    irp.IoStatus.Status = -1;
    EXPECT_EQ(driver_.MajorFunction[major](K().device, &irp), STATUS_SUCCESS);
    EXPECT_EQ(irp.IoStatus.Status, STATUS_SUCCESS);
    EXPECT_EQ(irp.completions, 1);
  }

  driver_.DriverUnload(&driver_);
  loaded_ = false;
  EXPECT_EQ(K().linksDeleted, 1);
  EXPECT_EQ(K().devicesDeleted, 1);
}

// Without its descriptor the device would carry the system's default one: the
// driver must rather not load, and leave nothing behind.
TEST_F(ZephioDriver, DoesNotLoadWhenItCannotRestrictOrNameItsDevice) {
  const NTSTATUS kError = STATUS_INSUFFICIENT_RESOURCES;
  const struct {
    const char* call;
    int devicesDeleted;
  } cases[] = {{"IoCreateDevice", 0},         {"RtlCreateAcl", 1},        {"RtlAddAccessAllowedAce", 1},
               {"ObOpenObjectByPointer", 1},  {"ZwSetSecurityObject", 1}, {"IoCreateSymbolicLink", 1}};
  for (const auto& c : cases) {
    K().Reset();
    K().failCall = c.call;
    K().failAt = kError;
    driver_ = {};
    EXPECT_EQ(DriverEntry(&driver_, nullptr), kError) << c.call;
    EXPECT_EQ(K().devicesDeleted, c.devicesDeleted) << c.call;
    EXPECT_EQ(K().openHandles, 0) << c.call;
    EXPECT_EQ(driver_.DriverUnload, nullptr) << c.call;
    EXPECT_EQ(driver_.MajorFunction[IRP_MJ_DEVICE_CONTROL], nullptr) << c.call;
  }
}

// The rules: the vendor as read at load; 0x7B only on an SiS host bridge, 0xE0 only
// on the others; a write only of the value the program writes, judged against what
// the register holds, read and written under one lock. The CMOS register is the
// HAL's slot number (its offset means nothing for that bus).
TEST_F(ZephioDriver, ServesEachMachineOnlyItsOwnRegisterAndOnlyTheProgramsWrites) {
  const NTSTATUS kOk = STATUS_SUCCESS, kRefused = STATUS_INVALID_PARAMETER, kNoBus = STATUS_DEVICE_DOES_NOT_EXIST;
  const auto locked = [](Calls inner) {
    inner.insert(inner.begin(), "lock");
    inner.push_back("unlock");
    return inner;
  };
  Calls extWrite = kExtRead;
  extWrite.insert(extWrite.end(), {"out 0x72 0xE0", "out 0x73 0x4"});
  const struct Case {
    int vendor;
    Target target;
    bool write;
    uint8_t value;  // written
    uint8_t held;   // what the register holds before
    NTSTATUS status;
    uint32_t reply;  // the value read, for a read that succeeds
    Calls calls;
    uint8_t after;  // what the register holds after
  } cases[] = {
      // The vendor, from the read at load.
      {kSis, kHostBridgeVendor, false, 0, 0, kOk, kSis, {}, 0},
      {kIntel, kHostBridgeVendor, false, 0, 0, kOk, kIntel, {}, 0},
      {kUnreadable, kHostBridgeVendor, false, 0, 0, kNoBus, 0, {}, 0},
      // SiS: register 0x7B through the HAL.
      {kSis, kCmosButton, false, 0, 0x23, kOk, 0x23, locked({kCmosRead}), 0x23},
      {kSis, kCmosButton, true, 0x03, 0x23, kOk, 0, locked({kCmosRead, CmosWrite(0x03)}), 0x03},
      {kSis, kCmosButton, true, 0x0E, 0x4E, kOk, 0, locked({kCmosRead, CmosWrite(0x0E)}), 0x0E},
      {kSis, kCmosButton, true, 0x03, 0x03, kOk, 0, locked({kCmosRead, CmosWrite(0x03)}), 0x03},
      {kSis, kCmosButton, true, 0x23, 0x23, kRefused, 0, locked({kCmosRead}), 0x23},  // nibble not cleared
      {kSis, kCmosButton, true, 0x00, 0x23, kRefused, 0, locked({kCmosRead}), 0x23},  // firmware's nibble lost
      {kSis, kCmosButton, true, 0x05, 0x23, kRefused, 0, locked({kCmosRead}), 0x23},
      {kSis, kCmosButton, true, 0x13, 0x03, kRefused, 0, locked({kCmosRead}), 0x03},  // a press made up
      {kSis, kExtButton, false, 0, 4, kRefused, 0, {}, 4},
      {kSis, kExtButton, true, 4, 4, kRefused, 0, {}, 4},
      // Other host bridges, and one whose vendor is unknown: register 0xE0 by its ports.
      {kIntel, kExtButton, false, 0, 4, kOk, 4, locked(kExtRead), 4},
      {kIntel, kExtButton, true, 4, 4, kOk, 0, locked(extWrite), 4},
      {kIntel, kExtButton, true, 5, 4, kRefused, 0, locked(kExtRead), 4},
      {kIntel, kExtButton, true, 0, 4, kRefused, 0, locked(kExtRead), 4},
      {kUnreadable, kExtButton, false, 0, 4, kOk, 4, locked(kExtRead), 4},
      {kUnreadable, kExtButton, true, 4, 4, kOk, 0, locked(extWrite), 4},
      {kIntel, kCmosButton, false, 0, 0x23, kRefused, 0, {}, 0x23},
      {kIntel, kCmosButton, true, 0x03, 0x23, kRefused, 0, {}, 0x23},
      {kUnreadable, kCmosButton, false, 0, 0x23, kRefused, 0, {}, 0x23},
  };
  for (const Case& c : cases) {
    K().Reset();
    ASSERT_EQ(Load(c.vendor), STATUS_SUCCESS);
    uint8_t& reg = c.target == kCmosButton ? K().cmos[kCmosButtonRegister] : K().extBank[kExtButtonRegister];
    reg = c.held;
    const Reply r = Send(c.write ? kIoctlWrite : kIoctlRead, {c.target, c.write ? c.value : 0u}, 8, c.write ? 0 : 8);
    const std::string what = "vendor " + std::to_string(c.vendor) + " target " + std::to_string(c.target) +
                             (c.write ? " write " + std::to_string(c.value) : " read") + " held " +
                             std::to_string(c.held);
    EXPECT_EQ(r.status, c.status) << what;
    EXPECT_EQ(K().calls, c.calls) << what;
    EXPECT_EQ(reg, c.after) << what;
    EXPECT_EQ(K().cmos[0], kSeconds) << what;  // the clock is never touched
    const bool answers = c.status == kOk && !c.write;
    EXPECT_EQ(r.information, answers ? 8u : 0u) << what;
    if (answers) {
      EXPECT_EQ(r.out.target, uint32_t(c.target)) << what;
      EXPECT_EQ(r.out.value, c.reply) << what;
    }
    driver_.DriverUnload(&driver_);
    loaded_ = false;
  }
}

TEST_F(ZephioDriver, AHalWithoutTheCmosBusIsAnErrorNotAValue) {
  ASSERT_EQ(Load(kSis), STATUS_SUCCESS);
  K().cmosBus = false;
  for (bool write : {false, true}) {
    const Reply r = Send(write ? kIoctlWrite : kIoctlRead, {kCmosButton, 0}, 8, write ? 0 : 8);
    EXPECT_EQ(r.status, STATUS_DEVICE_DOES_NOT_EXIST);
    EXPECT_EQ(r.information, 0u);
    EXPECT_EQ(K().calls, (Calls{"lock", kCmosRead, "unlock"}));
  }
}

// Malformed requests are answered before any hardware is touched.
TEST_F(ZephioDriver, MalformedRequestsTouchNothing) {
  ASSERT_EQ(Load(kIntel), STATUS_SUCCESS);
  const struct {
    uint32_t code;
    Record in;
    ULONG inSize, outSize;
    NTSTATUS status;
  } cases[] = {
      {ControlCode(0x900, 0), {kExtButton, 0}, 8, 8, STATUS_INVALID_DEVICE_REQUEST},
      {ControlCode(0x902, kFileReadAccess), {kExtButton, 0}, 8, 8, STATUS_INVALID_DEVICE_REQUEST},
      {kIoctlRead, {kExtButton, 0}, 7, 8, STATUS_INFO_LENGTH_MISMATCH},
      {kIoctlRead, {kExtButton, 0}, 8, 4, STATUS_INFO_LENGTH_MISMATCH},
      {kIoctlWrite, {kExtButton, 0}, 8, 8, STATUS_INFO_LENGTH_MISMATCH},
      {kIoctlRead, {kExtButton, 1}, 8, 8, STATUS_INVALID_PARAMETER},
      {kIoctlWrite, {kExtButton, 0x100}, 8, 0, STATUS_INVALID_PARAMETER},
      {kIoctlWrite, {kHostBridgeVendor, 0x12}, 8, 0, STATUS_INVALID_PARAMETER},
      {kIoctlRead, {0x7B, 0}, 8, 8, STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    const Reply r = Send(c.code, c.in, c.inSize, c.outSize);
    EXPECT_EQ(r.status, c.status) << c.code << " " << c.in.target << " " << c.inSize;
    EXPECT_EQ(r.information, 0u);
    EXPECT_EQ(K().calls, Calls{}) << c.code << " " << c.in.target;
  }
}

}  // namespace
}  // namespace zephio

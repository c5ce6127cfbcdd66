// zephio.sys itself, compiled against a fake kernel and HAL (fake_kernel.h): what
// it asks the HAL and the ports for each request, what it answers, which requests
// it refuses on which machine, and the device it leaves for user mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "portio/hw/zephio_protocol.h"
#include "tests/native/fake_kernel.h"

namespace zephio {
namespace {

using Calls = std::vector<std::string>;
FakeKernel& K() { return FakeKernel::Get(); }

constexpr int kSis = 0x1039, kIntel = 0x8086, kUnreadable = -1;  // -1: a HAL without a PCI bus
const std::string kVendorRead = "get PCI bus 0 slot 0x0 offset 0x0 length 2";
// The CMOS register is the HAL's slot number; the offset means nothing for that bus.
const std::string kCmosRead = "get Cmos bus 0 slot 0x7B offset 0x0 length 1";
const std::string kCmosWrite = "set Cmos bus 0 slot 0x7B offset 0x0 length 1 = ";
const Calls kExtRead = {"out 0x72 0xE0", "in 0x73"};

class ZephioDriver : public ::testing::Test {
 protected:
  void TearDown() override { Unload(); }
  NTSTATUS Load(int vendor, const char* failCall = "") {
    K().Reset();
    K().vendor = vendor;
    K().failCall = failCall;
    driver_ = {};
    const NTSTATUS status = DriverEntry(&driver_, nullptr);
    loaded_ = NT_SUCCESS(status);
    return status;
  }
  void Unload() {
    if (loaded_) driver_.DriverUnload(&driver_);
    loaded_ = false;
  }

  struct Reply {
    NTSTATUS status;
    ULONG_PTR information;
    Record out;
  };
  // One request as the I/O manager hands it over (METHOD_BUFFERED: one system
  // buffer for the input and the output).
  Reply Send(uint32_t code, Record in, ULONG inSize, ULONG outSize, int major = IRP_MJ_DEVICE_CONTROL) {
    Record buffer[2] = {in, {0xAAAAAAAA, 0xAAAAAAAA}};
    IRP irp = {};
    irp.IoStatus = {-1, 99};
    irp.AssociatedIrp.SystemBuffer = buffer;
    irp.stack.Parameters.DeviceIoControl = {outSize, inSize, code};
    K().calls.clear();
    const NTSTATUS returned = driver_.MajorFunction[major](K().device, &irp);
    EXPECT_EQ(irp.completions, 1);
    EXPECT_EQ(returned, irp.IoStatus.Status);
    return {irp.IoStatus.Status, irp.IoStatus.Information, buffer[0]};
  }

  DRIVER_OBJECT driver_ = {};
  bool loaded_ = false;
};

TEST_F(ZephioDriver, LoadsTheVendorOnceAndADeviceOnlyItsUsersReachAndUnloadsClean) {
  ASSERT_EQ(Load(kSis), STATUS_SUCCESS);
  // Shared, and FILE_DEVICE_SECURE_OPEN: names below the device are checked too.
  // The DACL is D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x100083;;;IU).
  EXPECT_EQ(K().calls, (Calls{kVendorRead, "device \\Device\\ZephIO type 0xA5E0 characteristics 0x100 exclusive 0",
                              "dacl S-1-5-18 0x1F01FF S-1-5-32-544 0x1F01FF S-1-5-4 0x100083",
                              "link \\DosDevices\\ZephIO to \\Device\\ZephIO"}));
  EXPECT_EQ(K().openHandles, 0);
  for (int major : {IRP_MJ_CREATE, IRP_MJ_CLOSE}) {
    const Reply r = Send(0, {}, 0, 0, major);
    EXPECT_EQ(std::make_pair(r.status, r.information), std::make_pair(STATUS_SUCCESS, ULONG_PTR(0))) << major;
  }
  K().calls.clear();
  Unload();
  EXPECT_EQ(K().calls, (Calls{"delete link \\DosDevices\\ZephIO", "delete device"}));
}

// Without its descriptor the device would carry the system's default one: the
// driver must rather not load, and leave nothing behind.
TEST_F(ZephioDriver, DoesNotLoadWhenItCannotRestrictOrNameItsDevice) {
  for (const std::string call : {"IoCreateDevice", "RtlCreateAcl", "RtlAddAccessAllowedAce", "ObOpenObjectByPointer",
                                 "ZwSetSecurityObject", "IoCreateSymbolicLink"}) {
    EXPECT_EQ(Load(kSis, call.c_str()), FakeKernel::kFailed) << call;
    EXPECT_EQ(std::count(K().calls.begin(), K().calls.end(), "delete device"), call == "IoCreateDevice" ? 0 : 1) << call;
    EXPECT_EQ(K().openHandles, 0) << call;
    EXPECT_TRUE(!driver_.DriverUnload && !driver_.MajorFunction[IRP_MJ_DEVICE_CONTROL]) << call;
  }
}

// The rules: the vendor as read at load; 0x7B only on an SiS host bridge, 0xE0 only
// on the others; a write only of the value the program writes, judged against what
// the register holds, read and written under one lock; a HAL without the CMOS bus
// is an error, not a value. Nothing else is touched: the calls are all of them.
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
    uint8_t value;   // written
    uint8_t held;    // what the register holds before
    NTSTATUS status;
    uint32_t reply;  // the value read, for a read that succeeds
    Calls calls;
    bool cmosBus = true;
  } cases[] = {
      {kSis, kHostBridgeVendor, false, 0, 0, kOk, kSis, {}},
      {kIntel, kHostBridgeVendor, false, 0, 0, kOk, kIntel, {}},
      {kUnreadable, kHostBridgeVendor, false, 0, 0, kNoBus, 0, {}},
      // SiS: register 0x7B through the HAL.
      {kSis, kCmosButton, false, 0, 0x23, kOk, 0x23, locked({kCmosRead})},
      {kSis, kCmosButton, true, 0x03, 0x23, kOk, 0, locked({kCmosRead, kCmosWrite + "0x3"})},
      {kSis, kCmosButton, true, 0x0E, 0x4E, kOk, 0, locked({kCmosRead, kCmosWrite + "0xE"})},
      {kSis, kCmosButton, true, 0x03, 0x03, kOk, 0, locked({kCmosRead, kCmosWrite + "0x3"})},
      {kSis, kCmosButton, true, 0x05, 0x85, kRefused, 0, locked({kCmosRead})},  // no press held: high bits stay
      {kSis, kCmosButton, true, 0x00, 0x23, kRefused, 0, locked({kCmosRead})},  // firmware's nibble lost
      {kSis, kCmosButton, true, 0x05, 0x23, kRefused, 0, locked({kCmosRead})},
      {kSis, kCmosButton, true, 0x13, 0x03, kRefused, 0, locked({kCmosRead})},  // a press made up
      {kSis, kCmosButton, false, 0, 0x23, kNoBus, 0, locked({kCmosRead}), false},
      {kSis, kCmosButton, true, 0x03, 0x23, kNoBus, 0, locked({kCmosRead}), false},
      {kSis, kExtButton, false, 0, 4, kRefused, 0, {}},
      {kSis, kExtButton, true, 4, 4, kRefused, 0, {}},
      // Other host bridges, and one whose vendor is unknown: register 0xE0 by its ports.
      {kIntel, kExtButton, false, 0, 4, kOk, 4, locked(kExtRead)},
      {kIntel, kExtButton, true, 4, 4, kOk, 0, locked(extWrite)},
      {kIntel, kExtButton, true, 5, 4, kRefused, 0, locked(kExtRead)},
      {kIntel, kExtButton, true, 0, 4, kRefused, 0, locked(kExtRead)},
      {kUnreadable, kExtButton, false, 0, 4, kOk, 4, locked(kExtRead)},
      {kUnreadable, kExtButton, true, 4, 4, kOk, 0, locked(extWrite)},
      {kIntel, kCmosButton, false, 0, 0x23, kRefused, 0, {}},
      {kIntel, kCmosButton, true, 0x03, 0x23, kRefused, 0, {}},
      {kUnreadable, kCmosButton, false, 0, 0x23, kRefused, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(&c - cases));
    ASSERT_EQ(Load(c.vendor), STATUS_SUCCESS);
    K().cmosBus = c.cmosBus;
    (c.target == kCmosButton ? K().cmos[kCmosButtonRegister] : K().extBank[kExtButtonRegister]) = c.held;
    const Reply r = Send(c.write ? kIoctlWrite : kIoctlRead, {c.target, c.write ? c.value : 0u}, 8, c.write ? 0 : 8);
    const bool answers = c.status == kOk && !c.write;
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(K().calls, c.calls);
    EXPECT_EQ(r.information, answers ? 8u : 0u);
    if (answers) {
      EXPECT_EQ(std::make_pair(r.out.target, r.out.value), std::make_pair(uint32_t(c.target), c.reply));
    }
    Unload();
  }
}

// Malformed requests are answered before any hardware is touched: one of each
// verdict of Decode, whose cases the protocol's tests go through.
TEST_F(ZephioDriver, MalformedRequestsTouchNothing) {
  ASSERT_EQ(Load(kIntel), STATUS_SUCCESS);
  const struct {
    uint32_t code;
    Record in;
    ULONG inSize, outSize;
    NTSTATUS status;
  } cases[] = {
      {ControlCode(0x902, kFileReadAccess), {kExtButton, 0}, 8, 8, STATUS_INVALID_DEVICE_REQUEST},
      {kIoctlRead, {kExtButton, 0}, 7, 8, STATUS_INFO_LENGTH_MISMATCH},
      {kIoctlWrite, {kExtButton, 0x100}, 8, 0, STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(&c - cases));
    const Reply r = Send(c.code, c.in, c.inSize, c.outSize);
    EXPECT_EQ(std::make_pair(r.status, r.information), std::make_pair(c.status, ULONG_PTR(0)));
    EXPECT_EQ(K().calls, Calls{});
  }
}

}  // namespace
}  // namespace zephio

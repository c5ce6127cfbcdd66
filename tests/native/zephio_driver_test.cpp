// zephio.sys itself, compiled against a fake kernel and HAL (fake_kernel.h): the
// device it leaves for user mode, and what one request does to the hardware.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "portio/hw/zephio_protocol.h"
#include "tests/native/fake_kernel.h"

namespace zephio {
namespace {

constexpr int kSis = 0x1039, kIntel = 0x8086, kUnreadable = -1;  // -1: a HAL without a PCI bus

DRIVER_OBJECT g_driver;

// Loads the driver afresh (unloading the one before) on a machine with this vendor.
NTSTATUS Load(int vendor, const char* failCall = "") {
  if (g_driver.DriverUnload) g_driver.DriverUnload(&g_driver);
  g_kernel = FakeKernel();
  g_kernel.vendor = vendor;
  g_kernel.failCall = failCall;
  g_driver = {};
  return DriverEntry(&g_driver, nullptr);
}

// Without its descriptor the device would carry the system's default one: the
// driver must rather not load, and leave nothing behind.
TEST(ZephioDriver, LoadsOnlyADeviceItsUsersReachAndLeavesNothingBehind) {
  for (const char* failCall : {"IoCreateDevice", "RtlCreateAcl", "RtlAddAccessAllowedAce", "ObOpenObjectByPointer",
                               "ZwSetSecurityObject", "IoCreateSymbolicLink", ""}) {
    SCOPED_TRACE(failCall);
    const int loads = !*failCall;
    EXPECT_EQ(Load(kSis, failCall), loads ? STATUS_SUCCESS : FakeKernel::kFailed);
    EXPECT_EQ(std::make_tuple(g_kernel.devices, g_kernel.links, g_kernel.handles), std::make_tuple(loads, loads, 0));
    EXPECT_EQ(g_driver.DriverUnload && g_driver.MajorFunction[IRP_MJ_DEVICE_CONTROL], bool(loads));
  }
  // D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x100083;;;IU): an interactive user may only
  // open it for the two requests; names below the device are checked too.
  EXPECT_EQ(g_kernel.dacl, " S-1-5-18 2032127 S-1-5-32-544 2032127 S-1-5-4 1048707");
  EXPECT_TRUE(g_kernel.characteristics & FILE_DEVICE_SECURE_OPEN);
  g_driver.DriverUnload(&g_driver);
  g_driver = {};
  EXPECT_EQ(std::make_pair(g_kernel.devices, g_kernel.links), std::make_pair(0, 0));
}

// One request as the I/O manager hands it over, on the machine of its row: what it
// answers, what the register holds after it, and the button register's reads (r)
// and writes (w) between taking the lock (L) and letting it go (U).
TEST(ZephioDriver, AnswersEachMachineItsOwnRegisterUnderOneLock) {
  const NTSTATUS kOk = STATUS_SUCCESS, kRefused = STATUS_INVALID_PARAMETER, kNoBus = STATUS_DEVICE_DOES_NOT_EXIST;
  const struct { int vendor; uint32_t code; Record in; ULONG inSize; int held; NTSTATUS status; uint32_t reply;
                 int after; const char* trace; } rows[] = {
      {kSis, kIoctlRead, {kHostBridgeVendor, 0}, 8, 0, kOk, kSis, 0, ""},  // as read at load
      {kUnreadable, kIoctlRead, {kHostBridgeVendor, 0}, 8, 0, kNoBus, 0, 0, ""},
      {kSis, kIoctlRead, {kCmosButton, 0}, 8, 0x23, kOk, 0x23, 0x23, "LrU"},
      {kSis, kIoctlWrite, {kCmosButton, 0x03}, 8, 0x23, kOk, 0, 0x03, "LrwU"},
      {kSis, kIoctlWrite, {kCmosButton, 0x05}, 8, 0x85, kRefused, 0, 0x85, "LrU"},
      {kSis, kIoctlRead, {kCmosButton, 0}, 8, -1, kNoBus, 0, -1, "LU"},  // -1: a HAL without the CMOS bus
      {kIntel, kIoctlRead, {kExtButton, 0}, 8, 4, kOk, 4, 4, "LrU"},
      {kUnreadable, kIoctlWrite, {kExtButton, 4}, 8, 4, kOk, 0, 4, "LrwU"},
      {kIntel, kIoctlRead, {kCmosButton, 0}, 8, 0x23, kRefused, 0, 0x23, ""},
      // Malformed: answered before any hardware is touched.
      {kIntel, ControlCode(0x902, kFileReadAccess), {kExtButton, 0}, 8, 4, STATUS_INVALID_DEVICE_REQUEST, 0, 4, ""},
      {kIntel, kIoctlRead, {kExtButton, 0}, 7, 4, STATUS_INFO_LENGTH_MISMATCH, 0, 4, ""},
      {kIntel, kIoctlWrite, {kExtButton, 0x104}, 8, 4, kRefused, 0, 4, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("row " + std::to_string(&row - rows));
    ASSERT_EQ(Load(row.vendor), STATUS_SUCCESS);
    g_kernel.cmosBus = row.held >= 0;
    uint8_t& reg = row.in.target == kCmosButton ? g_kernel.cmos[kCmosButtonRegister] : g_kernel.extBank[kExtButtonRegister];
    reg = uint8_t(row.held);
    Record buffer[2] = {row.in, {0xAAAAAAAA, 0xAAAAAAAA}};  // METHOD_BUFFERED: input and output share it
    IRP irp = {};
    irp.AssociatedIrp.SystemBuffer = buffer;
    irp.stack.Parameters.DeviceIoControl = {row.code == kIoctlRead ? 8u : 0u, row.inSize, row.code};
    EXPECT_EQ(g_driver.MajorFunction[IRP_MJ_DEVICE_CONTROL](&g_kernel.device, &irp), row.status);
    EXPECT_EQ(std::make_pair(irp.IoStatus.Status, irp.completions), std::make_pair(row.status, 1));
    EXPECT_EQ(g_kernel.trace, row.trace);
    EXPECT_EQ(reg, uint8_t(row.after));
    const bool answers = row.status == kOk && row.code == kIoctlRead;  // else the buffer is left as it came
    EXPECT_EQ(std::make_tuple(irp.IoStatus.Information, buffer[0].target, buffer[0].value),
              std::make_tuple(ULONG_PTR(answers ? 8 : 0), row.in.target, answers ? row.reply : row.in.value));
  }
}

}  // namespace
}  // namespace zephio

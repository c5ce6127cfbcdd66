// zephio.sys: reads the host bridge's vendor and reads or writes the two launch-
// button registers for PortIO.dll, and does nothing else. Every interactive user
// can reach it, so it takes requests by meaning (zephio_protocol.h), never by port.
#if defined(ZEPHIO_KERNEL_HEADER)
#include ZEPHIO_KERNEL_HEADER  // the native tests' kernel and HAL
#else
#include <ntifs.h>
#endif

#include "portio/hw/zephio_protocol.h"

namespace {

PDEVICE_OBJECT g_device;
// The host bridge, read once at load: it decides which button register is served.
zephio::HostBridge g_host;
// A register's read and the write that depends on it, and the index and data of
// the 0x72/0x73 bank, belong together: no second request of ours may come between
// them, on this processor or another. A mutex, not a spin lock: the HAL's bus
// calls want to be called below dispatch level.
KMUTEX g_registerLock;

// The well-known SIDs, laid out as the system keeps them.
struct WellKnownSid {
  UCHAR revision;
  UCHAR subAuthorityCount;
  UCHAR authority[6];
  ULONG subAuthority[2];
};
const WellKnownSid kLocalSystem = {1, 1, {0, 0, 0, 0, 0, 5}, {18, 0}};      // S-1-5-18
const WellKnownSid kAdministrators = {1, 2, {0, 0, 0, 0, 0, 5}, {32, 544}};  // S-1-5-32-544
const WellKnownSid kInteractive = {1, 1, {0, 0, 0, 0, 0, 5}, {4, 0}};       // S-1-5-4

// What an interactive user may do: open the device for the two control codes
// (which need read and write data access) and nothing more. CreateFile adds
// SYNCHRONIZE and FILE_READ_ATTRIBUTES to every synchronous open.
constexpr ACCESS_MASK kUserAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// The descriptor "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x100083;;;IU)", built by hand:
// MinGW has no wdmsec library for IoCreateDeviceSecure.
NTSTATUS RestrictAccess(PDEVICE_OBJECT device) {
  ULONG aclBuffer[64];  // ULONGs: an ACL must be aligned
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  SECURITY_DESCRIPTOR sd;
  NTSTATUS status = RtlCreateAcl(acl, sizeof aclBuffer, ACL_REVISION);
  const struct {
    ACCESS_MASK mask;
    const WellKnownSid* sid;
  } aces[] = {{FILE_ALL_ACCESS, &kLocalSystem}, {FILE_ALL_ACCESS, &kAdministrators}, {kUserAccess, &kInteractive}};
  for (const auto& ace : aces) {
    if (NT_SUCCESS(status)) status = RtlAddAccessAllowedAce(acl, ACL_REVISION, ace.mask, const_cast<WellKnownSid*>(ace.sid));
  }
  if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&sd, TRUE, acl, FALSE);
  HANDLE handle = nullptr;
  if (NT_SUCCESS(status))
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, nullptr, WRITE_DAC, nullptr, KernelMode, &handle);
  if (NT_SUCCESS(status)) {
    status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &sd);
    ZwClose(handle);
  }
  return status;
}

// The bank behind 0x72/0x73 is no HAL bus (the HAL's second CMOS bus is another
// device), so this is the one place the driver touches ports itself: these two,
// register 0xE0 only, index then data, both again for every access.
UCHAR ReadExtButton() {
  WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(zephio::kExtIndexPort), zephio::kExtButtonRegister);
  return READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(zephio::kExtDataPort));
}

void WriteExtButton(UCHAR value) {
  WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(zephio::kExtIndexPort), zephio::kExtButtonRegister);
  WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(zephio::kExtDataPort), value);
}

// CMOS bus 0 is the bank behind 0x70/0x71. For this bus the HAL takes the
// register from the slot number and ignores the offset; it does index and data
// under the lock it shares with the system clock, which uses the same index port.
bool ReadCmosButton(UCHAR* value) {
  return HalGetBusDataByOffset(Cmos, 0, zephio::kCmosButtonRegister, value, 0, 1) == 1;
}

bool WriteCmosButton(UCHAR value) {
  return HalSetBusDataByOffset(Cmos, 0, zephio::kCmosButtonRegister, &value, 0, 1) == 1;
}

// A button register, read, or read and written back as the rules allow, as one
// step against every other request of ours.
NTSTATUS AccessButton(const zephio::Request& request, ULONG* value) {
  if (!zephio::Serves(g_host, request.target)) return STATUS_INVALID_PARAMETER;
  const bool cmos = request.target == zephio::kCmosButton;
  NTSTATUS status = STATUS_SUCCESS;
  KeWaitForSingleObject(&g_registerLock, Executive, KernelMode, FALSE, nullptr);
  UCHAR held = 0;
  if (cmos) {
    if (!ReadCmosButton(&held)) status = STATUS_DEVICE_DOES_NOT_EXIST;
  } else {
    held = ReadExtButton();
  }
  if (NT_SUCCESS(status) && request.write) {
    if (!zephio::WriteAllowed(request.target, held, request.value)) {
      status = STATUS_INVALID_PARAMETER;
    } else if (!cmos) {
      WriteExtButton(request.value);
    } else if (!WriteCmosButton(request.value)) {
      status = STATUS_DEVICE_DOES_NOT_EXIST;
    }
  }
  KeReleaseMutex(&g_registerLock, FALSE);
  *value = held;
  return status;
}

// The HAL answers 0 bytes for a bus it does not have; that is an error for the
// caller, not a value.
NTSTATUS Perform(const zephio::Request& request, ULONG* value) {
  switch (request.target) {
    case zephio::kHostBridgeVendor:
      if (!g_host.vendorKnown) return STATUS_DEVICE_DOES_NOT_EXIST;
      *value = g_host.vendor;
      return STATUS_SUCCESS;
    case zephio::kCmosButton:
    case zephio::kExtButton:
      return AccessButton(request, value);
  }
  return STATUS_INVALID_PARAMETER;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS, 0); }

NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT, PIRP irp) {
  const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const auto& params = stack->Parameters.DeviceIoControl;
  // METHOD_BUFFERED: the system copied the input into this buffer, which also
  // takes the output. Its size is only known from the lengths, which Decode checks.
  void* const buffer = irp->AssociatedIrp.SystemBuffer;
  zephio::Request request;
  switch (zephio::Decode(params.IoControlCode, buffer, params.InputBufferLength, params.OutputBufferLength, &request)) {
    case zephio::Verdict::kUnknownCode:
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    case zephio::Verdict::kBadSize:
      return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
    case zephio::Verdict::kRefused:
      return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    case zephio::Verdict::kOk:
      break;
  }
  ULONG value = 0;
  const NTSTATUS status = Perform(request, &value);
  if (!NT_SUCCESS(status) || request.write) return Complete(irp, status, 0);
  const zephio::Record reply = {static_cast<uint32_t>(request.target), value};
  memcpy(buffer, &reply, sizeof reply);
  return Complete(irp, status, sizeof reply);
}

void NTAPI Unload(PDRIVER_OBJECT) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, ZEPHIO_LINK_NAME);
  IoDeleteSymbolicLink(&link);
  if (g_device) IoDeleteDevice(g_device);
  g_device = nullptr;
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  KeInitializeMutex(&g_registerLock, 0);
  // Slot 0: device 0, function 0 of PCI bus 0.
  USHORT vendor = 0;
  g_host.vendorKnown = HalGetBusDataByOffset(PCIConfiguration, 0, 0, &vendor, 0, sizeof vendor) == sizeof vendor;
  g_host.vendor = g_host.vendorKnown ? vendor : 0;
  UNICODE_STRING name, link;
  RtlInitUnicodeString(&name, ZEPHIO_DEVICE_NAME);
  RtlInitUnicodeString(&link, ZEPHIO_LINK_NAME);

  // FILE_DEVICE_SECURE_OPEN: the descriptor also guards names below the device
  // ("\\.\ZephIO\anything"), which would otherwise open unchecked.
  NTSTATUS status = IoCreateDevice(driver, 0, &name, zephio::kDeviceType, FILE_DEVICE_SECURE_OPEN, FALSE, &g_device);
  if (!NT_SUCCESS(status)) return status;
  // Without its descriptor the device would carry the system's default one; better
  // not to load at all.
  status = RestrictAccess(g_device);
  if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(g_device);
    g_device = nullptr;
    return status;
  }

  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}

#pragma once
// The slice of the kernel, the I/O manager and the HAL that zephio.sys uses, with
// the DDK's names and shapes, for compiling the driver into a native test. Each
// call answers as the real one would and keeps only what the tests look at.
#include <stdint.h>
#include <string.h>

#include <string>

#define NTAPI
#define TRUE 1
#define FALSE 0
#define NT_SUCCESS(s) ((NTSTATUS)(s) >= 0)
typedef int32_t NTSTATUS;
typedef uint8_t UCHAR, *PUCHAR, BOOLEAN;
typedef uint16_t USHORT;
typedef uint32_t ULONG, ACCESS_MASK;
typedef uintptr_t ULONG_PTR;
typedef void *PVOID, *HANDLE, *PSID;
typedef char KPROCESSOR_MODE;

constexpr NTSTATUS STATUS_SUCCESS = 0, STATUS_INVALID_PARAMETER = NTSTATUS(0xC000000D),
                   STATUS_INVALID_DEVICE_REQUEST = NTSTATUS(0xC0000010), STATUS_INFO_LENGTH_MISMATCH = NTSTATUS(0xC0000004),
                   STATUS_DEVICE_DOES_NOT_EXIST = NTSTATUS(0xC00000C0);
constexpr ACCESS_MASK FILE_READ_DATA = 0x0001, FILE_WRITE_DATA = 0x0002, FILE_READ_ATTRIBUTES = 0x0080,
                      SYNCHRONIZE = 0x00100000, WRITE_DAC = 0x00040000, FILE_ALL_ACCESS = 0x001F01FF;
constexpr ULONG OBJ_KERNEL_HANDLE = 0x200, DACL_SECURITY_INFORMATION = 4, ACL_REVISION = 2,
                SECURITY_DESCRIPTOR_REVISION = 1, FILE_DEVICE_SECURE_OPEN = 0x100;
constexpr KPROCESSOR_MODE KernelMode = 0;
constexpr char IO_NO_INCREMENT = 0;
enum KWAIT_REASON { Executive };
enum BUS_DATA_TYPE { Cmos = 0, PCIConfiguration = 4 };
enum { IRP_MJ_CREATE = 0x00, IRP_MJ_CLOSE = 0x02, IRP_MJ_DEVICE_CONTROL = 0x0e, IRP_MJ_MAXIMUM_FUNCTION = 0x1b };

typedef struct UNICODE_STRING { USHORT Length; wchar_t* Buffer; } *PUNICODE_STRING;
typedef struct ACL { UCHAR AclRevision; } *PACL;
struct SECURITY_DESCRIPTOR { ULONG revision; BOOLEAN daclPresent; ACL* dacl; };
struct KMUTEX { int initialised; };
typedef struct DEVICE_OBJECT {} *PDEVICE_OBJECT;
typedef struct IO_STACK_LOCATION {
  union { struct { ULONG OutputBufferLength, InputBufferLength, IoControlCode; } DeviceIoControl; } Parameters;
} *PIO_STACK_LOCATION;
typedef struct IRP {
  union { PVOID SystemBuffer; } AssociatedIrp;
  struct { NTSTATUS Status; ULONG_PTR Information; } IoStatus;
  IO_STACK_LOCATION stack;  // the one location of a request sent to a device
  int completions;          // IoCompleteRequest calls
} *PIRP;
typedef struct DRIVER_OBJECT* PDRIVER_OBJECT;
struct DRIVER_OBJECT {
  NTSTATUS (*MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1])(PDEVICE_OBJECT, PIRP);
  void (*DriverUnload)(PDRIVER_OBJECT);
};
inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->stack; }
extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The machine the driver runs on, and what it left there.
struct FakeKernel {
  static constexpr NTSTATUS kFailed = NTSTATUS(0xC000009A);  // what failCall answers
  std::string failCall;
  int vendor = -1;          // the host bridge's; -1: a HAL without a PCI bus
  bool cmosBus = true;      // without it the HAL answers 0 bytes
  uint8_t cmos[256], extBank[256], extIndex = 0;  // the banks behind 0x70/0x71 and 0x72/0x73
  // The button register read (r) and written (w), the lock taken (L) and let go (U).
  std::string trace;
  std::string aces, dacl;   // the entries added to an ACL, and those set on the device: " SID mask" each
  ULONG characteristics = 0;
  int devices = 0, links = 0, handles = 0;  // made and not yet deleted or closed
  DEVICE_OBJECT device;
  ACL* acl = nullptr;       // the ACL being filled
  // No register but the button's holds the value under test.
  FakeKernel() { memset(cmos, 0xEE, sizeof cmos), memset(extBank, 0xEE, sizeof extBank); }
};
inline FakeKernel g_kernel;
inline NTSTATUS Fails(const char* call) { return g_kernel.failCall == call ? FakeKernel::kFailed : STATUS_SUCCESS; }

inline void RtlInitUnicodeString(PUNICODE_STRING s, const wchar_t* text) { *s = {0, const_cast<wchar_t*>(text)}; }
inline NTSTATUS RtlCreateAcl(PACL acl, ULONG, ULONG revision) {
  return acl->AclRevision = static_cast<UCHAR>(revision), g_kernel.acl = acl, Fails("RtlCreateAcl");
}
inline NTSTATUS RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid) {
  const UCHAR* s = static_cast<const UCHAR*>(sid);  // revision, count, 6 bytes of authority, sub-authorities
  std::string text = " S-" + std::to_string(s[0]) + "-" + std::to_string(s[7]);
  for (int i = 0; i < s[1]; ++i) text += "-" + std::to_string(s[8 + 4 * i] | s[9 + 4 * i] << 8);
  g_kernel.aces += acl == g_kernel.acl && revision == acl->AclRevision ? text + " " + std::to_string(mask) : " ?";
  return Fails("RtlAddAccessAllowedAce");
}
inline NTSTATUS RtlCreateSecurityDescriptor(SECURITY_DESCRIPTOR* sd, ULONG r) { return *sd = {r, 0, nullptr}, 0; }
inline NTSTATUS RtlSetDaclSecurityDescriptor(SECURITY_DESCRIPTOR* sd, BOOLEAN present, PACL dacl, BOOLEAN) {
  return *sd = {sd->revision, present, dacl}, STATUS_SUCCESS;
}
// The descriptor counts only when it goes to the device, through a kernel handle.
inline NTSTATUS ObOpenObjectByPointer(PVOID object, ULONG attributes, PVOID, ACCESS_MASK access, PVOID,
                                      KPROCESSOR_MODE, HANDLE* handle) {
  *handle = object == &g_kernel.device && (attributes & OBJ_KERNEL_HANDLE) && (access & WRITE_DAC) ? &g_kernel : nullptr;
  return Fails("ObOpenObjectByPointer") ? FakeKernel::kFailed : (++g_kernel.handles, STATUS_SUCCESS);
}
inline NTSTATUS ZwSetSecurityObject(HANDLE handle, ULONG information, SECURITY_DESCRIPTOR* sd) {
  const bool toDevice = handle == &g_kernel && information == DACL_SECURITY_INFORMATION;
  if (toDevice && sd->daclPresent && sd->dacl == g_kernel.acl) g_kernel.dacl = g_kernel.aces;
  return Fails("ZwSetSecurityObject");
}
inline NTSTATUS ZwClose(HANDLE) { return --g_kernel.handles, STATUS_SUCCESS; }
inline NTSTATUS IoCreateDevice(PDRIVER_OBJECT, ULONG, PUNICODE_STRING, ULONG, ULONG characteristics, BOOLEAN,
                               PDEVICE_OBJECT* device) {
  if (Fails("IoCreateDevice")) return FakeKernel::kFailed;
  return g_kernel.characteristics = characteristics, *device = &g_kernel.device, ++g_kernel.devices, STATUS_SUCCESS;
}
inline void IoDeleteDevice(PDEVICE_OBJECT device) { g_kernel.devices -= device == &g_kernel.device; }
inline NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING, PUNICODE_STRING) {
  return Fails("IoCreateSymbolicLink") ? FakeKernel::kFailed : (++g_kernel.links, STATUS_SUCCESS);
}
inline NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING) { return --g_kernel.links, STATUS_SUCCESS; }
inline void IoCompleteRequest(PIRP irp, char) { ++irp->completions; }
inline void KeInitializeMutex(KMUTEX* mutex, ULONG) { mutex->initialised = 1; }
inline NTSTATUS KeWaitForSingleObject(PVOID mutex, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PVOID) {
  return g_kernel.trace += static_cast<KMUTEX*>(mutex)->initialised ? "L" : "?", STATUS_SUCCESS;  // "?": never made
}
inline ULONG KeReleaseMutex(KMUTEX*, BOOLEAN) { return g_kernel.trace += "U", 0; }

// Like the NT HAL: a CMOS bus takes its register from the slot number; the offset
// means nothing to it.
inline ULONG HalGetBusDataByOffset(BUS_DATA_TYPE bus, ULONG n, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
  if (bus == PCIConfiguration && g_kernel.vendor >= 0 && !n && !slot && !offset && length == 2)
    return memcpy(buffer, &g_kernel.vendor, 2), 2;  // little-endian: the low 16 bits
  if (bus != Cmos || !g_kernel.cmosBus || n || slot + length > 256) return 0;
  return g_kernel.trace += slot == 0x7B ? "r" : "?", memcpy(buffer, g_kernel.cmos + slot, length), length;
}
inline ULONG HalSetBusDataByOffset(BUS_DATA_TYPE bus, ULONG n, ULONG slot, PVOID buffer, ULONG, ULONG length) {
  if (bus != Cmos || !g_kernel.cmosBus || n || slot + length > 256) return 0;
  return g_kernel.trace += slot == 0x7B ? "w" : "?", memcpy(g_kernel.cmos + slot, buffer, length), length;
}
// The bank behind 0x72/0x73: an index port and a data port.
inline UCHAR READ_PORT_UCHAR(PUCHAR port) {
  const bool data = reinterpret_cast<uintptr_t>(port) == 0x73;
  g_kernel.trace += data && g_kernel.extIndex == 0xE0 ? "r" : "?";
  return data ? g_kernel.extBank[g_kernel.extIndex] : 0xFF;
}
inline void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value) {
  const uintptr_t number = reinterpret_cast<uintptr_t>(port);
  if (number == 0x72) return void(g_kernel.extIndex = value);
  g_kernel.trace += number == 0x73 && g_kernel.extIndex == 0xE0 ? "w" : "?";
  if (number == 0x73) g_kernel.extBank[g_kernel.extIndex] = value;
}

#pragma once
// The slice of the kernel, the I/O manager and the HAL that zephio.sys uses, with
// the names and shapes of the DDK's, for compiling the driver into a native test.
// Every call lands in FakeKernel (fake_kernel.cpp), which records it and answers
// like the real one would (a HAL with a PCI bus and a CMOS bank, ports).
#include <stdint.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#define NTAPI

typedef int32_t NTSTATUS;
typedef uint8_t UCHAR, *PUCHAR, BOOLEAN;
typedef uint16_t USHORT;
typedef uint32_t ULONG, ACCESS_MASK;
typedef uintptr_t ULONG_PTR;
typedef void* PVOID;
typedef void* HANDLE;
typedef void* PSID;
typedef wchar_t WCHAR, *PWSTR;
typedef const wchar_t* PCWSTR;
typedef UCHAR KIRQL;
typedef char KPROCESSOR_MODE;

#define TRUE 1
#define FALSE 0
#define NT_SUCCESS(s) ((NTSTATUS)(s) >= 0)
constexpr NTSTATUS STATUS_SUCCESS = 0;
constexpr NTSTATUS STATUS_INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000D);
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = static_cast<NTSTATUS>(0xC0000010);
constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = static_cast<NTSTATUS>(0xC0000004);
constexpr NTSTATUS STATUS_DEVICE_DOES_NOT_EXIST = static_cast<NTSTATUS>(0xC00000C0);
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = static_cast<NTSTATUS>(0xC000009A);

constexpr ACCESS_MASK FILE_READ_DATA = 0x0001, FILE_WRITE_DATA = 0x0002, FILE_READ_ATTRIBUTES = 0x0080;
constexpr ACCESS_MASK SYNCHRONIZE = 0x00100000, WRITE_DAC = 0x00040000, FILE_ALL_ACCESS = 0x001F01FF;
constexpr ULONG OBJ_KERNEL_HANDLE = 0x200, DACL_SECURITY_INFORMATION = 4;
constexpr ULONG ACL_REVISION = 2, SECURITY_DESCRIPTOR_REVISION = 1;
constexpr ULONG FILE_DEVICE_SECURE_OPEN = 0x100;
constexpr KPROCESSOR_MODE KernelMode = 0;
constexpr char IO_NO_INCREMENT = 0;
enum KWAIT_REASON { Executive };
enum BUS_DATA_TYPE { Cmos = 0, PCIConfiguration = 4 };
enum { IRP_MJ_CREATE = 0x00, IRP_MJ_CLOSE = 0x02, IRP_MJ_DEVICE_CONTROL = 0x0e, IRP_MJ_MAXIMUM_FUNCTION = 0x1b };

struct UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
typedef UNICODE_STRING* PUNICODE_STRING;

struct ACL {
  UCHAR AclRevision;
};
typedef ACL* PACL;
struct SECURITY_DESCRIPTOR {
  int revision = -1;
  BOOLEAN daclPresent = FALSE;
  PACL dacl = nullptr;
};
typedef SECURITY_DESCRIPTOR* PSECURITY_DESCRIPTOR;

struct KMUTEX {
  int initialised;
};

struct DEVICE_OBJECT {
  int id;
};
typedef DEVICE_OBJECT* PDEVICE_OBJECT;

struct IO_STACK_LOCATION {
  UCHAR MajorFunction;
  union {
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
  } Parameters;
};
typedef IO_STACK_LOCATION* PIO_STACK_LOCATION;

struct IRP {
  union {
    PVOID SystemBuffer;
  } AssociatedIrp;
  struct {
    NTSTATUS Status;
    ULONG_PTR Information;
  } IoStatus;
  IO_STACK_LOCATION stack;  // the one location of a request sent to a device
  int completions;          // IoCompleteRequest calls
};
typedef IRP* PIRP;
inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->stack; }

struct DRIVER_OBJECT;
typedef DRIVER_OBJECT* PDRIVER_OBJECT;
typedef NTSTATUS (*PDRIVER_DISPATCH)(PDEVICE_OBJECT, PIRP);
typedef void (*PDRIVER_UNLOAD)(PDRIVER_OBJECT);
struct DRIVER_OBJECT {
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
  PDRIVER_UNLOAD DriverUnload;
};

// The kernel's exports the driver calls.
void RtlInitUnicodeString(PUNICODE_STRING target, PCWSTR source);
NTSTATUS RtlCreateAcl(PACL acl, ULONG size, ULONG revision);
NTSTATUS RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid);
NTSTATUS RtlCreateSecurityDescriptor(PSECURITY_DESCRIPTOR sd, ULONG revision);
NTSTATUS RtlSetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR sd, BOOLEAN present, PACL dacl, BOOLEAN defaulted);
NTSTATUS ObOpenObjectByPointer(PVOID object, ULONG attributes, PVOID state, ACCESS_MASK access, PVOID type,
                               KPROCESSOR_MODE mode, HANDLE* handle);
NTSTATUS ZwSetSecurityObject(HANDLE handle, ULONG information, PSECURITY_DESCRIPTOR sd);
NTSTATUS ZwClose(HANDLE handle);
NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name, ULONG type,
                        ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* device);
void IoDeleteDevice(PDEVICE_OBJECT device);
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link);
void IoCompleteRequest(PIRP irp, char boost);
void KeInitializeMutex(KMUTEX* mutex, ULONG level);
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode, BOOLEAN alertable,
                               PVOID timeout);
ULONG KeReleaseMutex(KMUTEX* mutex, BOOLEAN wait);
// The HAL's.
ULONG HalGetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length);
ULONG HalSetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length);
UCHAR READ_PORT_UCHAR(PUCHAR port);
void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value);

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// What the driver did, and the machine it runs on.
struct FakeKernel {
  struct Ace {
    ACCESS_MASK mask;
    std::string sid;  // "S-1-5-18"
    bool operator==(const Ace& o) const { return mask == o.mask && sid == o.sid; }
  };

  // The machine. A HAL without a bus answers 0 bytes for it.
  bool pciBus = true;
  uint8_t pciConfig[256] = {};  // bus 0, device 0, function 0
  bool cmosBus = true;
  uint8_t cmos[256] = {};       // the bank behind 0x70/0x71, as the HAL reads it
  uint8_t extBank[256] = {};    // the bank behind 0x72/0x73
  uint8_t extIndex = 0;
  NTSTATUS failAt = STATUS_SUCCESS;  // the status the call named in failCall returns
  std::string failCall;

  // What the driver did: one line per HAL, port and lock call, in order.
  std::vector<std::string> calls;
  int mutexHeld = 0;        // KeWaitForSingleObject minus KeReleaseMutex
  bool mutexReady = false;  // KeInitializeMutex seen
  // The device and its name and link.
  PDEVICE_OBJECT device = nullptr;
  std::wstring deviceName, link;
  ULONG deviceType = 0, characteristics = 0;
  bool exclusive = true;
  std::vector<Ace> dacl;    // as set on the device by ZwSetSecurityObject
  bool daclSet = false;
  int openHandles = 0;      // kernel handles not closed
  int devicesDeleted = 0, linksDeleted = 0;
  std::map<const ACL*, std::vector<Ace>> acls;

  static FakeKernel& Get();
  void Reset() { *this = FakeKernel(); }
  void SetVendor(uint16_t vendor) {
    pciConfig[0] = vendor & 0xFF;
    pciConfig[1] = vendor >> 8;
  }
  bool Fail(const char* call) const { return failCall == call; }
};

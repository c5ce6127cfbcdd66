#pragma once
// The slice of the kernel, the I/O manager and the HAL that zephio.sys uses, with
// the DDK's names and shapes, for compiling the driver into a native test. Every
// call lands in fake_kernel.cpp, which logs it and answers as the real one would.
#include <stdint.h>

#include <string>
#include <vector>

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

struct UNICODE_STRING { USHORT Length; wchar_t* Buffer; };
typedef UNICODE_STRING* PUNICODE_STRING;
struct ACL { UCHAR AclRevision; };
typedef ACL* PACL;
struct SECURITY_DESCRIPTOR { ULONG revision; BOOLEAN daclPresent; PACL dacl; };
struct KMUTEX { int initialised; };
struct DEVICE_OBJECT {};
typedef DEVICE_OBJECT* PDEVICE_OBJECT;
struct IO_STACK_LOCATION {
  union { struct { ULONG OutputBufferLength, InputBufferLength, IoControlCode; } DeviceIoControl; } Parameters;
};
typedef IO_STACK_LOCATION* PIO_STACK_LOCATION;
struct IRP {
  union { PVOID SystemBuffer; } AssociatedIrp;
  struct { NTSTATUS Status; ULONG_PTR Information; } IoStatus;
  IO_STACK_LOCATION stack;  // the one location of a request sent to a device
  int completions;          // IoCompleteRequest calls
};
typedef IRP* PIRP;
inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->stack; }
struct DRIVER_OBJECT;
typedef DRIVER_OBJECT* PDRIVER_OBJECT;
struct DRIVER_OBJECT {
  NTSTATUS (*MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1])(PDEVICE_OBJECT, PIRP);
  void (*DriverUnload)(PDRIVER_OBJECT);
};

void RtlInitUnicodeString(PUNICODE_STRING target, const wchar_t* source);
NTSTATUS RtlCreateAcl(PACL acl, ULONG size, ULONG revision);
NTSTATUS RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid);
NTSTATUS RtlCreateSecurityDescriptor(SECURITY_DESCRIPTOR* sd, ULONG revision);
NTSTATUS RtlSetDaclSecurityDescriptor(SECURITY_DESCRIPTOR* sd, BOOLEAN present, PACL dacl, BOOLEAN defaulted);
NTSTATUS ObOpenObjectByPointer(PVOID object, ULONG attributes, PVOID state, ACCESS_MASK access, PVOID type,
                               KPROCESSOR_MODE mode, HANDLE* handle);
NTSTATUS ZwSetSecurityObject(HANDLE handle, ULONG information, SECURITY_DESCRIPTOR* sd);
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
ULONG HalGetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length);
ULONG HalSetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length);
UCHAR READ_PORT_UCHAR(PUCHAR port);
void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value);
extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The machine the driver runs on, and what it did.
struct FakeKernel {
  static constexpr NTSTATUS kFailed = NTSTATUS(0xC000009A);  // what failCall answers
  int vendor = -1;          // the host bridge's; -1: a HAL without a PCI bus
  bool cmosBus = true;      // without it the HAL answers 0 bytes
  uint8_t cmos[256] = {};   // the bank behind 0x70/0x71, as the HAL reads it
  uint8_t extBank[256] = {}, extIndex = 0;  // the bank behind 0x72/0x73
  std::string failCall;
  // One line per HAL, port and lock call, and per device, descriptor and link
  // made or deleted, in order.
  std::vector<std::string> calls;
  PDEVICE_OBJECT device = nullptr;
  int openHandles = 0;      // kernel handles not closed

  static FakeKernel& Get();
  void Reset() { *this = FakeKernel(); }
};

#include "tests/native/fake_kernel.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <map>

namespace {

FakeKernel& K() { return FakeKernel::Get(); }

void Log(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  K().calls.push_back(line);
}

std::string Text(const UNICODE_STRING* s) { return std::string(s->Buffer, s->Buffer + s->Length / 2); }

std::string SidText(const UCHAR* sid) {
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
  std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
  for (int i = 0; i < sid[1]; ++i) {
    ULONG sub;
    memcpy(&sub, sid + 8 + 4 * i, 4);
    text += "-" + std::to_string(sub);
  }
  return text;
}

std::map<const ACL*, std::string> g_aces;  // each ACL's entries, as "SID mask" text
int g_handleTarget;                        // the one handle handed out; only its value matters

}  // namespace

FakeKernel& FakeKernel::Get() {
  static FakeKernel kernel;
  return kernel;
}

void RtlInitUnicodeString(PUNICODE_STRING target, const wchar_t* source) {
  target->Buffer = const_cast<wchar_t*>(source);
  target->Length = static_cast<USHORT>(wcslen(source) * 2);
}

NTSTATUS RtlCreateAcl(PACL acl, ULONG, ULONG revision) {
  if (K().failCall == "RtlCreateAcl") return FakeKernel::kFailed;
  acl->AclRevision = static_cast<UCHAR>(revision);
  g_aces[acl].clear();
  return STATUS_SUCCESS;
}

NTSTATUS RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid) {
  if (K().failCall == "RtlAddAccessAllowedAce") return FakeKernel::kFailed;
  if (!g_aces.count(acl) || revision != acl->AclRevision) return STATUS_INVALID_PARAMETER;
  char ace[64];
  snprintf(ace, sizeof ace, " %s 0x%X", SidText(static_cast<const UCHAR*>(sid)).c_str(), mask);
  g_aces[acl] += ace;
  return STATUS_SUCCESS;
}

NTSTATUS RtlCreateSecurityDescriptor(SECURITY_DESCRIPTOR* sd, ULONG revision) {
  *sd = {revision, FALSE, nullptr};
  return STATUS_SUCCESS;
}

NTSTATUS RtlSetDaclSecurityDescriptor(SECURITY_DESCRIPTOR* sd, BOOLEAN present, PACL dacl, BOOLEAN defaulted) {
  if (sd->revision != SECURITY_DESCRIPTOR_REVISION || defaulted) return STATUS_INVALID_PARAMETER;
  sd->daclPresent = present;
  sd->dacl = dacl;
  return STATUS_SUCCESS;
}

NTSTATUS ObOpenObjectByPointer(PVOID object, ULONG attributes, PVOID, ACCESS_MASK access, PVOID,
                               KPROCESSOR_MODE mode, HANDLE* handle) {
  if (K().failCall == "ObOpenObjectByPointer") return FakeKernel::kFailed;
  // A user-mode handle, or one to another object, would be a fault of the driver.
  if (object != K().device || !(attributes & OBJ_KERNEL_HANDLE) || mode != KernelMode || !(access & WRITE_DAC))
    return STATUS_INVALID_PARAMETER;
  ++K().openHandles;
  *handle = &g_handleTarget;
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetSecurityObject(HANDLE handle, ULONG information, SECURITY_DESCRIPTOR* sd) {
  if (K().failCall == "ZwSetSecurityObject") return FakeKernel::kFailed;
  if (handle != &g_handleTarget || information != DACL_SECURITY_INFORMATION || !sd->daclPresent ||
      !g_aces.count(sd->dacl))
    return STATUS_INVALID_PARAMETER;
  Log("dacl%s", g_aces[sd->dacl].c_str());
  return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE handle) {
  if (handle == &g_handleTarget) --K().openHandles;
  return STATUS_SUCCESS;
}

NTSTATUS IoCreateDevice(PDRIVER_OBJECT, ULONG, PUNICODE_STRING name, ULONG type, ULONG characteristics,
                        BOOLEAN exclusive, PDEVICE_OBJECT* device) {
  if (K().failCall == "IoCreateDevice") return FakeKernel::kFailed;
  static DEVICE_OBJECT object;
  *device = K().device = &object;
  Log("device %s type 0x%X characteristics 0x%X exclusive %d", Text(name).c_str(), type, characteristics, exclusive);
  return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) { Log("%s", device == K().device ? "delete device" : "delete another device"); }

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target) {
  if (K().failCall == "IoCreateSymbolicLink") return FakeKernel::kFailed;
  Log("link %s to %s", Text(link).c_str(), Text(target).c_str());
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link) {
  Log("delete link %s", Text(link).c_str());
  return STATUS_SUCCESS;
}

void IoCompleteRequest(PIRP irp, char) { ++irp->completions; }

void KeInitializeMutex(KMUTEX* mutex, ULONG) { mutex->initialised = 1; }

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE mode, BOOLEAN, PVOID timeout) {
  if (!static_cast<KMUTEX*>(object)->initialised || mode != KernelMode || timeout) return STATUS_INVALID_PARAMETER;
  Log("lock");
  return STATUS_SUCCESS;
}

ULONG KeReleaseMutex(KMUTEX*, BOOLEAN) {
  Log("unlock");
  return 0;
}

// Like the NT HAL: a CMOS bus takes its register from the slot number; the offset
// means nothing to it.
ULONG HalGetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
  Log("get %s bus %u slot 0x%X offset 0x%X length %u", bus == Cmos ? "Cmos" : "PCI", busNumber, slot, offset, length);
  const uint16_t vendor = static_cast<uint16_t>(K().vendor);
  if (bus == PCIConfiguration && K().vendor >= 0 && busNumber == 0 && slot == 0 && offset == 0 && length == 2) {
    memcpy(buffer, &vendor, 2);
    return length;
  }
  if (bus == Cmos && K().cmosBus && busNumber == 0 && slot + length <= 256) {
    memcpy(buffer, K().cmos + slot, length);
    return length;
  }
  return 0;
}

ULONG HalSetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
  Log("set %s bus %u slot 0x%X offset 0x%X length %u = 0x%X", bus == Cmos ? "Cmos" : "PCI", busNumber, slot, offset,
      length, *static_cast<const uint8_t*>(buffer));
  if (bus != Cmos || !K().cmosBus || busNumber != 0 || slot + length > 256) return 0;
  memcpy(K().cmos + slot, buffer, length);
  return length;
}

UCHAR READ_PORT_UCHAR(PUCHAR port) {
  const auto number = static_cast<unsigned>(reinterpret_cast<uintptr_t>(port));
  Log("in 0x%X", number);
  return number == 0x73 ? K().extBank[K().extIndex] : 0xFF;
}

void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value) {
  const auto number = static_cast<unsigned>(reinterpret_cast<uintptr_t>(port));
  Log("out 0x%X 0x%X", number, value);
  if (number == 0x72) K().extIndex = value;
  if (number == 0x73) K().extBank[K().extIndex] = value;
}

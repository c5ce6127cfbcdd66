#include "tests/native/fake_kernel.h"

#include <stdio.h>

namespace {

std::string Hex(unsigned value) {
  char text[16];
  snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string SidText(PSID sid) {
  const auto* bytes = static_cast<const UCHAR*>(sid);
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | bytes[i];
  std::string text = "S-" + std::to_string(bytes[0]) + "-" + std::to_string(authority);
  for (int i = 0; i < bytes[1]; ++i) {
    ULONG sub;
    memcpy(&sub, bytes + 8 + 4 * i, 4);
    text += "-" + std::to_string(sub);
  }
  return text;
}

const char* BusName(BUS_DATA_TYPE bus) { return bus == Cmos ? "Cmos" : bus == PCIConfiguration ? "PCI" : "?"; }

FakeKernel& K() { return FakeKernel::Get(); }

// A handle the fake kernel hands out; only its value matters.
int g_handleTarget;

}  // namespace

FakeKernel& FakeKernel::Get() {
  static FakeKernel kernel;
  return kernel;
}

void RtlInitUnicodeString(PUNICODE_STRING target, PCWSTR source) {
  target->Buffer = const_cast<PWSTR>(source);
  target->Length = static_cast<USHORT>(wcslen(source) * 2);
  target->MaximumLength = static_cast<USHORT>(target->Length + 2);
}

NTSTATUS RtlCreateAcl(PACL acl, ULONG, ULONG revision) {
  if (K().Fail("RtlCreateAcl")) return K().failAt;
  acl->AclRevision = static_cast<UCHAR>(revision);
  K().acls[acl].clear();
  return STATUS_SUCCESS;
}

NTSTATUS RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid) {
  if (K().Fail("RtlAddAccessAllowedAce")) return K().failAt;
  if (!K().acls.count(acl) || revision != acl->AclRevision) return STATUS_INVALID_PARAMETER;
  K().acls[acl].push_back({mask, SidText(sid)});
  return STATUS_SUCCESS;
}

NTSTATUS RtlCreateSecurityDescriptor(PSECURITY_DESCRIPTOR sd, ULONG revision) {
  *sd = SECURITY_DESCRIPTOR();
  sd->revision = static_cast<int>(revision);
  return STATUS_SUCCESS;
}

NTSTATUS RtlSetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR sd, BOOLEAN present, PACL dacl, BOOLEAN defaulted) {
  if (sd->revision != SECURITY_DESCRIPTOR_REVISION || defaulted) return STATUS_INVALID_PARAMETER;
  sd->daclPresent = present;
  sd->dacl = dacl;
  return STATUS_SUCCESS;
}

NTSTATUS ObOpenObjectByPointer(PVOID object, ULONG attributes, PVOID, ACCESS_MASK access, PVOID,
                               KPROCESSOR_MODE mode, HANDLE* handle) {
  if (K().Fail("ObOpenObjectByPointer")) return K().failAt;
  // A user-mode handle, or one to another object, would be a fault of the driver.
  if (object != K().device || !(attributes & OBJ_KERNEL_HANDLE) || mode != KernelMode || !(access & WRITE_DAC))
    return STATUS_INVALID_PARAMETER;
  ++K().openHandles;
  *handle = &g_handleTarget;
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetSecurityObject(HANDLE handle, ULONG information, PSECURITY_DESCRIPTOR sd) {
  if (K().Fail("ZwSetSecurityObject")) return K().failAt;
  if (handle != &g_handleTarget || information != DACL_SECURITY_INFORMATION || !sd->daclPresent ||
      !K().acls.count(sd->dacl))
    return STATUS_INVALID_PARAMETER;
  K().dacl = K().acls[sd->dacl];
  K().daclSet = true;
  return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE handle) {
  if (handle == &g_handleTarget) --K().openHandles;
  return STATUS_SUCCESS;
}

NTSTATUS IoCreateDevice(PDRIVER_OBJECT, ULONG, PUNICODE_STRING name, ULONG type, ULONG characteristics,
                        BOOLEAN exclusive, PDEVICE_OBJECT* device) {
  if (K().Fail("IoCreateDevice")) return K().failAt;
  static DEVICE_OBJECT object;
  K().device = &object;
  K().deviceName.assign(name->Buffer, name->Length / 2);
  K().deviceType = type;
  K().characteristics = characteristics;
  K().exclusive = exclusive;
  *device = &object;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) {
  if (device == K().device) ++K().devicesDeleted;
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target) {
  if (K().Fail("IoCreateSymbolicLink")) return K().failAt;
  if (std::wstring(target->Buffer, target->Length / 2) != K().deviceName) return STATUS_INVALID_PARAMETER;
  K().link.assign(link->Buffer, link->Length / 2);
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link) {
  if (std::wstring(link->Buffer, link->Length / 2) == K().link) ++K().linksDeleted;
  return STATUS_SUCCESS;
}

void IoCompleteRequest(PIRP irp, char) { ++irp->completions; }

void KeInitializeMutex(KMUTEX* mutex, ULONG) {
  mutex->initialised = 1;
  K().mutexReady = true;
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE mode, BOOLEAN, PVOID timeout) {
  if (!static_cast<KMUTEX*>(object)->initialised || mode != KernelMode || timeout) return STATUS_INVALID_PARAMETER;
  ++K().mutexHeld;
  K().calls.push_back("lock");
  return STATUS_SUCCESS;
}

ULONG KeReleaseMutex(KMUTEX*, BOOLEAN) {
  --K().mutexHeld;
  K().calls.push_back("unlock");
  return 0;
}

// Like the NT HAL: a CMOS bus takes its register from the slot number; the offset
// means nothing to it.
ULONG HalGetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
  K().calls.push_back(std::string("get ") + BusName(bus) + " bus " + std::to_string(busNumber) + " slot " +
                      Hex(slot) + " offset " + Hex(offset) + " length " + std::to_string(length));
  auto* out = static_cast<uint8_t*>(buffer);
  if (bus == PCIConfiguration && K().pciBus && busNumber == 0 && slot == 0 && offset + length <= 256) {
    memcpy(out, K().pciConfig + offset, length);
    return length;
  }
  if (bus == Cmos && K().cmosBus && busNumber == 0 && slot + length <= 256) {
    memcpy(out, K().cmos + slot, length);
    return length;
  }
  return 0;
}

ULONG HalSetBusDataByOffset(BUS_DATA_TYPE bus, ULONG busNumber, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  K().calls.push_back(std::string("set ") + BusName(bus) + " bus " + std::to_string(busNumber) + " slot " +
                      Hex(slot) + " offset " + Hex(offset) + " length " + std::to_string(length) + " = " + Hex(in[0]));
  if (bus == Cmos && K().cmosBus && busNumber == 0 && slot + length <= 256) {
    memcpy(K().cmos + slot, in, length);
    return length;
  }
  return 0;
}

UCHAR READ_PORT_UCHAR(PUCHAR port) {
  const auto number = static_cast<unsigned>(reinterpret_cast<uintptr_t>(port));
  K().calls.push_back("in " + Hex(number));
  return number == 0x73 ? K().extBank[K().extIndex] : 0xFF;
}

void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value) {
  const auto number = static_cast<unsigned>(reinterpret_cast<uintptr_t>(port));
  K().calls.push_back("out " + Hex(number) + " " + Hex(value));
  if (number == 0x72) K().extIndex = value;
  if (number == 0x73) K().extBank[K().extIndex] = value;
}

#include "test_support.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "dialogs/properties_dlg.h"

namespace zeph::test {

Win32Platform& Platform() {
  static Win32Platform platform;
  return platform;
}

SlotStore& Slots() {
  static SlotStore slots(Platform().registry, Platform().windows);
  return slots;
}

void OpenProperties() { OpenPropertiesDialog(Slots(), Platform().windows, Platform().starter); }

void ResetSlots() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
  SlotStore& slots = Slots();
  for (int n = 1; n <= 4; ++n) {
    slots.SetCurrent(n, "");
    slots.SetPending(n, "");
  }
}

std::string StoredSlot(const char* name) {
  auto key = Platform().registry.Open(kSlotKeyPath);
  auto value = key ? key->Query(name) : std::nullopt;
  if (!value) return "<missing>";
  if (value->type != kRegSz || value->data.size() != 256) return "<bad>";
  return DecodeSlotValue(*value);
}

void PutSlot(const char* name, const std::string& text) {
  auto key = Platform().registry.Create(kSlotKeyPath);
  key->Set(name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()), static_cast<uint32_t>(text.size() + 1));
}

bool InstallMarker(const std::string& path) {
  for (size_t sep = path.find('\\', 3); sep != std::string::npos; sep = path.find('\\', sep + 1)) {
    CreateDirectoryA(path.substr(0, sep).c_str(), nullptr);
  }
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string marker(self);
  marker = marker.substr(0, marker.find_last_of('\\') + 1) + "zeph_marker.exe";
  DeleteFileA(kMarkerLog);
  return CopyFileA(marker.c_str(), path.c_str(), FALSE) != FALSE;
}

std::string MarkerLog() {
  std::ifstream in(kMarkerLog);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace zeph::test

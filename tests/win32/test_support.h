#pragma once
// What the window tests share: a clean slate of slots and registry, the
// started-program marker, and a thread-safe simulated chipset.
#include <windows.h>

#include <mutex>
#include <string>

#include "platform/port_io.h"
#include "platform/win32/win32_platform.h"
#include "portio/chipset_sim.h"
#include "settings/slot_store.h"

namespace zeph::test {

// What the program's application object owns, for the tests.
Win32Platform& Platform();
SlotStore& Slots();
// Opens the Properties dialog on the test slots.
void OpenProperties();

// Empties the four slots and deletes the stored key.
void ResetSlots();
// The stored text of a slot value, "<missing>" when absent, "<bad>" when not a
// 256-byte REG_SZ.
std::string StoredSlot(const char* name);
// Stores a slot value as another program might: just the text and its NUL.
void PutSlot(const char* name, const std::string& text);

// Copies the marker program to path (folders created) and clears its log.
constexpr const char* kMarkerLog = "C:\\zeph-started.txt";  // where the marker writes
bool InstallMarker(const std::string& path);
// The command lines the marker has been started with, one per line.
std::string MarkerLog();

// The simulated chipset, shared between the GUI thread and a test driver.
class LockedChipset : public IPortIO {
  std::mutex m_mutex;
  ChipsetSim m_sim;
  template <typename F>
  auto Locked(F f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return f();
  }

 public:
  uint32_t Read(uint16_t port, PortWidth width) override { return Locked([&] { return m_sim.Read(port, width); }); }
  void Write(uint16_t port, uint32_t value, PortWidth width) override {
    Locked([&] { m_sim.Write(port, value, width); });
  }
  void Press(int n) { Locked([&] { m_sim.PressButton(n); }); }
  uint64_t Accesses() { return Locked([&] { return m_sim.Accesses(); }); }
};

}  // namespace zeph::test

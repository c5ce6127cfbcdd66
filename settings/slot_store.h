#pragma once
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/registry.h"
#include "settings/button_slot.h"

namespace zeph {

constexpr const char* kSlotKeyPath = "Software\\Velmaris\\Zephbox";
constexpr const char* kPropertiesTitle = "Properties for Zephra Button";
constexpr const char* kDefaultBrowser = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
constexpr const char* kDefaultAddress = "www.yahoo.com";
constexpr const char* kDefaultMailer = "C:\\Program Files\\Outlook Express\\MSIMN.EXE";

constexpr size_t kSlotValueBytes = 256;               // every stored value is this long
constexpr size_t kSlotMaxChars = kSlotValueBytes - 1;  // room for the terminating NUL

// Slot numbers 1..4 name S1..S4.
enum SlotIndex : int { kSlotBrowser = 1, kSlotAddress1 = 2, kSlotAddress2 = 3, kSlotMailer = 4 };

// The stored bytes for a slot text: the text cut to 255 characters, its NUL, zero filler.
std::array<uint8_t, kSlotValueBytes> EncodeSlotValue(const std::string& text);
// The text a stored value stands for: string types up to their first NUL (at most
// 255 characters), anything else the empty text.
std::string DecodeSlotValue(const RegValue& value);

// The four button slots and their registry storage. No key handle is kept
// between operations.
class SlotStore {
 public:
  SlotStore(IRegistry& registry, IWindowFinder& windows);

  // By value name "S1".."S4"; stores the slot's current text. Other names do nothing.
  void WriteSlot(const char* name);
  void SaveAll();
  // Start of every poll tick. Clears firstRun once it has loaded the pending texts.
  void Refresh(bool& firstRun);

  // current := pending := read slot n. A key or value that is missing is first
  // put back with the defaults, as the next tick would.
  void Reload(int n);

  const std::string& Current(int n) const { return Slot(n).current; }
  const std::string& Pending(int n) const { return Slot(n).pending; }
  void SetCurrent(int n, std::string text) { Slot(n).current = std::move(text); }
  void SetPending(int n, std::string text) { Slot(n).pending = std::move(text); }
  const char* Name(int n) const { return Slot(n).name; }

  // The text a slot falls back to when it is empty; S3 has none.
  static const char* DefaultText(int n);

 private:
  ButtonSlot& Slot(int n);
  const ButtonSlot& Slot(int n) const;
  bool Store(IRegistryKey& key, int n);
  std::unique_ptr<IRegistryKey> LoadStored();
  bool IsSettled() const;

  IRegistry& m_registry;
  IWindowFinder& m_windows;
  std::array<ButtonSlot, 4> m_slots;

  // What the poll tick knows of the stored values. The key is read again only
  // when the system says it changed, so an idle tick asks the system nothing.
  std::array<std::optional<RegValue>, 4> m_stored;
  bool m_watching = false;
  // The current texts after the last tick that left each stored as its text
  // would be stored: until either changes, a tick has nothing to do.
  std::optional<std::array<std::string, 4>> m_settled;
};

}  // namespace zeph

#include "settings/slot_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace zeph {

std::array<uint8_t, kSlotValueBytes> EncodeSlotValue(const std::string& text) {
  std::array<uint8_t, kSlotValueBytes> bytes{};
  const size_t n = std::min(text.size(), kSlotMaxChars);
  std::memcpy(bytes.data(), text.data(), n);
  return bytes;
}

std::string DecodeSlotValue(const RegValue& value) {
  // Another program may have stored anything here: only string types count,
  // and the data need not be terminated.
  if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz) return {};
  const auto* begin = reinterpret_cast<const char*>(value.data.data());
  const size_t limit = std::min(value.data.size(), kSlotMaxChars);
  const auto* end = std::find(begin, begin + limit, '\0');
  return std::string(begin, end);
}

SlotStore::SlotStore(IRegistry& registry, IWindowFinder& windows)
    : m_registry(registry),
      m_windows(windows),
      m_slots{{{"S1", {}, {}}, {"S2", {}, {}}, {"S3", {}, {}}, {"S4", {}, {}}}} {}

ButtonSlot& SlotStore::Slot(int n) {
  assert(n >= 1 && n <= 4);
  return m_slots[static_cast<size_t>(n - 1)];
}

const ButtonSlot& SlotStore::Slot(int n) const {
  assert(n >= 1 && n <= 4);
  return m_slots[static_cast<size_t>(n - 1)];
}

const char* SlotStore::DefaultText(int n) {
  switch (n) {
    case kSlotBrowser: return kDefaultBrowser;
    case kSlotAddress1: return kDefaultAddress;
    case kSlotMailer: return kDefaultMailer;
    default: return nullptr;
  }
}

bool SlotStore::Store(IRegistryKey& key, int n) {
  const auto bytes = EncodeSlotValue(Slot(n).current);
  if (!key.Set(Slot(n).name, kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  m_stored[n - 1] = RegValue{kRegSz, std::vector<uint8_t>(bytes.begin(), bytes.end())};
  return true;
}

void SlotStore::WriteSlot(const char* name) {
  for (int n = 1; n <= 4; ++n) {
    if (std::strcmp(name, Slot(n).name) != 0) continue;
    if (auto key = m_registry.Open(kSlotKeyPath)) Store(*key, n);
    return;
  }
}

void SlotStore::SaveAll() {
  for (int n = 1; n <= 4; ++n) {
    Slot(n).current = Slot(n).pending;
    WriteSlot(Slot(n).name);
  }
}

void SlotStore::Reload(int n) {
  const auto query = [&]() -> std::optional<RegValue> {
    auto key = m_registry.Open(kSlotKeyPath);
    return key ? key->Query(Slot(n).name) : std::nullopt;
  };
  auto value = query();
  if (!value) {
    // Gone since the last tick looked, and the press came before the tick that
    // would have put it back: do now what that tick does, key and defaults,
    // then read again.
    m_watching = false;
    bool notFirstRun = false;
    Refresh(notFirstRun);
    value = query();
  }
  Slot(n).pending = value ? DecodeSlotValue(*value) : std::string();
  Slot(n).current = Slot(n).pending;
}

std::unique_ptr<IRegistryKey> SlotStore::LoadStored() {
  if (m_watching && !m_registry.Changed()) return nullptr;
  // Opened afresh: another program may have deleted the key and made it again.
  auto key = m_registry.Create(kSlotKeyPath);
  // Armed before the values are read: a change from now on shows at a later tick.
  m_watching = key && m_registry.Watch(kSlotKeyPath);
  for (int n = 1; n <= 4; ++n) m_stored[n - 1] = key ? key->Query(Slot(n).name) : std::nullopt;
  return key;
}

void SlotStore::Refresh(bool& firstRun) {
  // Runs once a second for the life of the program: it reads the values only
  // when they may have changed, and rewrites only a value whose stored form
  // differs from what it would write. The registry ends up holding exactly
  // what a full rewrite of all four values would leave.
  auto key = LoadStored();
  if (!key && m_watching && !firstRun && IsSettled()) return;
  std::array<std::string, 4> texts;
  bool differs = false;
  for (int n = 1; n <= 4; ++n) {
    if (m_stored[n - 1]) texts[n - 1] = DecodeSlotValue(*m_stored[n - 1]);
    differs = differs || texts[n - 1] != Slot(n).current;
  }

  // While the Properties dialog is open its edits live in the current texts.
  if (differs && !m_windows.TitleExists(kPropertiesTitle)) {
    for (int n = 1; n <= 4; ++n) Slot(n).current = texts[n - 1];
  }
  if (firstRun) {
    for (int n = 1; n <= 4; ++n) {
      Slot(n).pending = texts[n - 1];
      Slot(n).current = Slot(n).pending;
    }
    firstRun = false;
  }

  bool settled = true;
  for (int n = 1; n <= 4; ++n) {
    ButtonSlot& slot = Slot(n);
    if (const char* fallback = DefaultText(n); fallback && slot.current.empty()) slot.current = fallback;
    const auto bytes = EncodeSlotValue(slot.current);
    const auto& old = m_stored[n - 1];
    if (!old || old->type != kRegSz || old->data.size() != bytes.size() ||
        !std::equal(bytes.begin(), bytes.end(), old->data.begin())) {
      if (!key) key = m_registry.Create(kSlotKeyPath);
      settled = key && Store(*key, n) && settled;
    }
    // A text the stored form cuts reads back otherwise: the next tick takes that.
    settled = settled && m_stored[n - 1] && DecodeSlotValue(*m_stored[n - 1]) == slot.current;
  }
  if (settled) {
    m_settled = {{Slot(1).current, Slot(2).current, Slot(3).current, Slot(4).current}};
  } else {
    m_settled.reset();
  }
}

bool SlotStore::IsSettled() const {
  if (!m_settled) return false;
  for (int n = 1; n <= 4; ++n) {
    if (Slot(n).current != (*m_settled)[n - 1]) return false;
  }
  return true;
}

}  // namespace zeph

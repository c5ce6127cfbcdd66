#include "platform/win32/win32_registry.h"

#include <utility>

namespace zeph {

namespace {

class Win32Key : public IRegistryKey {
 public:
  explicit Win32Key(HKEY key) : m_key(key) {}
  ~Win32Key() override { RegCloseKey(m_key); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  std::optional<RegValue> Query(const char* name) override {
    // Stored values are normally 256 bytes; anything longer is read whole in a
    // second call, so a value is never cut short or read past its buffer.
    RegValue value;
    value.data.resize(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = REG_NONE;
      DWORD size = static_cast<DWORD>(value.data.size());
      const LONG rc = RegQueryValueExA(m_key, name, nullptr, &type, value.data.data(), &size);
      if (rc == ERROR_SUCCESS) {
        value.type = type;
        value.data.resize(size);
        return value;
      }
      if (rc != ERROR_MORE_DATA) return std::nullopt;
      value.data.resize(size);
    }
    return std::nullopt;  // it kept growing under us
  }

  bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override {
    return RegSetValueExA(m_key, name, 0, type, data, size) == ERROR_SUCCESS;
  }

 private:
  HKEY m_key;
};

}  // namespace

Win32Registry::~Win32Registry() {
  if (m_watched) RegCloseKey(m_watched);
  if (m_event) CloseHandle(m_event);
}

std::unique_ptr<IRegistryKey> Win32Registry::Create(const std::string& path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32Key>(key);
}

std::unique_ptr<IRegistryKey> Win32Registry::Open(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(key);
}

bool Win32Registry::Watch(const std::string& path) {
  m_changed = m_waitedFor = false;
  m_armedAt = GetTickCount();
  if (m_cannotWatch) return false;
  if (!m_event) m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // A watch of the key itself tells of its values but need not tell of its
  // deletion. Its parent's watch with sub-keys tells of both; and a key goes
  // only after its sub-keys, so deleting any parent is seen too. A fired
  // watch's key may be deleted: the parent is opened afresh every time.
  const size_t slash = path.rfind('\\');
  HKEY parent = nullptr;
  if (slash == std::string::npos ||
      RegOpenKeyExA(HKEY_CURRENT_USER, path.substr(0, slash).c_str(), 0, KEY_NOTIFY, &parent) != ERROR_SUCCESS) {
    parent = nullptr;
  }
  if (parent) {
    const LONG rc = m_event ? RegNotifyChangeKeyValue(parent, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                                      m_event, TRUE)
                            : ERROR_INVALID_HANDLE;
    m_cannotWatch = rc == ERROR_CALL_NOT_IMPLEMENTED;  // Windows 9x: read the key every tick
    if (rc != ERROR_SUCCESS) {
      RegCloseKey(parent);
      parent = nullptr;
    }
  }
  if (m_watched) RegCloseKey(m_watched);
  m_watched = parent;
  return m_watched != nullptr;
}

bool Win32Registry::Changed() {
  if (!m_watched || m_changed || GetTickCount() - m_armedAt >= m_rereadMs) return true;
  // Straight after the loop's wait there is nothing new to learn; a tick run
  // by any other loop has to ask the event itself.
  if (!std::exchange(m_waitedFor, false)) m_changed = WaitForSingleObject(m_event, 0) == WAIT_OBJECT_0;
  return m_changed;
}

}  // namespace zeph

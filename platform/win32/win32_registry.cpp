#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace zeph {

namespace {

class Win32Key : public IRegistryKey {
 public:
  explicit Win32Key(HKEY key) : m_key(key) {}
  ~Win32Key() override {
    RegCloseKey(m_key);
    if (m_changed) CloseHandle(m_changed);
  }
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

  bool WatchChanges() override {
    if (!m_changed) m_changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // Windows 9x cannot watch a key.
    return m_changed && RegNotifyChangeKeyValue(m_key, FALSE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME,
                                                m_changed, TRUE) == ERROR_SUCCESS;
  }

  bool Changed() override {
    if (m_changed && WaitForSingleObject(m_changed, 0) == WAIT_TIMEOUT) return false;
    WatchChanges();  // a notification is good for one change: ask again
    return true;
  }

 private:
  HKEY m_key;
  HANDLE m_changed = nullptr;
};

}  // namespace

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

}  // namespace zeph

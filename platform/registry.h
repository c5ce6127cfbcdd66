#pragma once
// The small part of the registry the slot store needs: one key under the current
// user, string values read whole and written with an explicit length.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeph {

enum RegType : uint32_t { kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7 };

struct RegValue {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;  // exactly the stored bytes, whatever their length
};

// An open key; closing it is the destructor's job.
class IRegistryKey {
 public:
  virtual ~IRegistryKey() = default;
  virtual std::optional<RegValue> Query(const char* name) = 0;
  virtual bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) = 0;
};

// Keys are paths below HKEY_CURRENT_USER.
class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Opens the key, creating it first when it is absent.
  virtual std::unique_ptr<IRegistryKey> Create(const std::string& path) = 0;
  // Opens an existing key; null when it is absent or cannot be opened.
  virtual std::unique_ptr<IRegistryKey> Open(const std::string& path) = 0;
  // Asks to be told of the next change to the existing key at path: to its
  // values, or its deletion. False when the system cannot tell; the caller
  // must then read the key every time.
  virtual bool Watch(const std::string& path) = 0;
  // Whether the watched key may have changed since Watch was last called.
  virtual bool Changed() = 0;
};

}  // namespace zeph

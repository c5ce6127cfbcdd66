#pragma once
#include "platform/registry.h"

namespace zeph {

// The registry under HKEY_CURRENT_USER.
class Win32Registry : public IRegistry {
 public:
  std::unique_ptr<IRegistryKey> Create(const std::string& path) override;
  std::unique_ptr<IRegistryKey> Open(const std::string& path) override;
};

}  // namespace zeph

#pragma once
// A function that only some Windows versions export, looked up at run time so
// that the program still loads where it is missing.
#include <windows.h>

namespace zeph {

// Null when the module is not loaded or does not export the name.
template <typename Fn>
Fn SystemExport(const char* module, const char* name) {
  const HMODULE loaded = GetModuleHandleA(module);
  return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

}  // namespace zeph

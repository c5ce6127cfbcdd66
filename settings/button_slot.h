#pragma once
#include <string>

namespace zeph {

// One launch-button setting. "current" is what launches use and what is stored;
// "pending" is what the Properties dialog edits until it is committed.
struct ButtonSlot {
  const char* name;  // registry value name and row caption: "S1".."S4"
  std::string current;
  std::string pending;
};

}  // namespace zeph

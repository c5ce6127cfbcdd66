#pragma once
#include <cstdint>
#include <string>

namespace zeph {

// Values the start call yields for the failures the user is told about.
// Anything above 31 means the program started.
enum StartResult : uint32_t {
  kStartOutOfMemory = 0,
  kStartFileNotFound = 2,
  kStartPathNotFound = 3,
  kStartBadFormat = 11,
};

constexpr int kShowNormal = 5;  // SW_SHOW

class IProgramStarter {
 public:
  virtual ~IProgramStarter() = default;
  virtual uint32_t Start(const std::string& commandLine, int show) = 0;
  // Whether the text names an existing file (not a folder).
  virtual bool IsFile(const std::string& path) = 0;
};

}  // namespace zeph

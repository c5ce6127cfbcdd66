#pragma once

namespace zeph {

constexpr unsigned kPollPeriodMs = 1000;
constexpr unsigned kConfirmPeriodMs = 30000;

// The running poll timer; setting it again replaces its period.
class IPollTimer {
 public:
  virtual ~IPollTimer() = default;
  virtual void SetPeriod(unsigned ms) = 0;
};

}  // namespace zeph

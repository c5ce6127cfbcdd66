// When PortIO.dll opens, keeps and closes its handle to the driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "portio/hw/device_link.h"

namespace zephio {
namespace {

struct FakeOps {
  uint32_t now = 1000;
  bool driverRunning = true;  // an open succeeds
  int opens = 0, closes = 0, open = 0;
  uint32_t Now() const { return now; }
  bool Open() { return ++opens, open += driverRunning, driverRunning; }
  void Close() { ++closes, --open; }
};

// One request after the previous one: how long after, whether the driver is
// there to open, whether the request itself goes through; then whether it was
// sent on a handle, its result, and the opens and closes so far.
struct Step {
  uint32_t afterMs;
  bool driverRunning, requestOk;
  int sent;
  bool result;
  int opens, closes;
};

void Play(const std::vector<Step>& steps, const char* name) {
  FakeOps ops;
  DeviceLink<FakeOps> link(ops);
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(name) + ", step " + std::to_string(&s - steps.data() + 1));
    ops.now += s.afterMs;
    ops.driverRunning = s.driverRunning;
    int sent = 0;
    EXPECT_EQ(link.Request([&] { return ++sent, s.requestOk; }), s.result);
    EXPECT_EQ(std::vector<int>({sent, ops.opens, ops.closes}), std::vector<int>({s.sent, s.opens, s.closes}));
    EXPECT_EQ(link.IsOpen(), ops.open == 1);
    EXPECT_GE(ops.open, 0);  // never closed twice
  }
  link.Close();
  EXPECT_EQ(ops.open, 0) << name << ": a handle left open at the end";
}

TEST(DeviceLink, OpensOnceForABurstRetriesSlowlyAndReopensAfterFailuresAndPauses) {
  Play({{0, true, true, 1, true, 1, 0}, {1, true, true, 1, true, 1, 0}, {5, true, true, 1, true, 1, 0}},
       "a poll tick's requests share one open");
  Play({{0, true, true, 1, true, 1, 0}, {1000, true, true, 1, true, 2, 1}, {2, true, true, 1, true, 2, 1},
        {1000, true, true, 1, true, 3, 2}},
       "each poll tick opens anew: a stopped driver is let go within a period");
  Play({{0, true, true, 1, true, 1, 0}, {1, true, false, 1, false, 1, 1}, {1, true, true, 1, true, 2, 1}},
       "a failed request closes, and the next opens at once");
  Play({{0, true, true, 1, true, 1, 0},
        {1, false, false, 1, false, 1, 1},   // the driver is stopped behind the handle
        {1, false, true, 0, false, 2, 1},    // not there yet: one open tried
        {1000, false, true, 0, false, 2, 1}, // then not again before the retry period
        {3998, true, true, 0, false, 2, 1},
        {2, true, true, 1, true, 3, 1}},     // restarted: reached after the retry period
       "a driver restarted behind the handle");
  Play({{0, false, true, 0, false, 1, 0}, {4999, true, true, 0, false, 1, 0}, {1, true, true, 1, true, 2, 0}},
       "no driver at first: tried again every few seconds");
}

}  // namespace
}  // namespace zephio

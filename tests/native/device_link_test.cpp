// When PortIO.dll opens, keeps and lets go of its handle to the driver.
#include <gtest/gtest.h>

#include <tuple>

#include "portio/hw/device_link.h"

namespace zephio {
namespace {

struct FakeOps {
  uint32_t now = 1000;
  bool driverRunning = true;  // an open succeeds
  int opens = 0, open = 0;    // opens tried; handles held
  uint32_t Now() const { return now; }
  bool Open() { return ++opens, open += driverRunning, driverRunning; }
  void Close() { --open; }
};

// One request after the previous one: how long after, whether the driver is there
// to open, whether the request itself goes through; then whether it was sent on a
// handle, the opens tried so far and whether a handle is held after it.
struct Step { uint32_t afterMs; bool driverRunning, requestOk, sent; int opens; bool held; };

TEST(DeviceLink, LetsGoAfterAFailedRequestOrAPauseAndRetriesSlowly) {
  const Step steps[] = {
      {0, true, true, true, 1, true},
      {2, true, true, true, 1, true},         // a poll tick's requests share one open
      {1000, true, true, true, 2, true},      // each tick opens anew: a stopped driver is let go within a period
      {1, true, false, true, 2, false},       // a failed request lets go,
      {1, true, true, true, 3, true},         // and the next one opens at once
      {1, false, false, true, 3, false},      // the driver stopped behind the handle
      {1, false, true, false, 4, false},      // not there yet: one open tried,
      {4999, true, true, false, 4, false},    // then none before the retry period
      {1, true, true, true, 5, true},
  };
  FakeOps ops;
  DeviceLink<FakeOps> link(ops);
  for (const Step& s : steps) {
    ops.now += s.afterMs;
    ops.driverRunning = s.driverRunning;
    bool sent = false;
    EXPECT_EQ(link.Request([&] { return sent = true, s.requestOk; }), s.sent && s.requestOk) << "step " << &s - steps;
    EXPECT_EQ(std::make_tuple(sent, ops.opens, ops.open), std::make_tuple(s.sent, s.opens, int(s.held)))
        << "step " << &s - steps;
  }
  link.Close();
  EXPECT_EQ(ops.open, 0);
}

}  // namespace
}  // namespace zephio

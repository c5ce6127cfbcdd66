// One idle poll tick (no button pressed) over the fake registry and the
// simulated chipset, with the registry and port traffic it causes.
#include <benchmark/benchmark.h>

#include "fakes.h"

namespace zeph {
namespace {

void IdleTick(benchmark::State& state, uint16_t vendor) {
  fake::Program p(vendor);
  p.reg.watchable = true;  // as the Windows registry is
  bool firstRun = true;
  p.dispatch.OnPollTick(firstRun, p.timer);  // the first tick normalises the stored values
  p.reg.calls = 0;
  p.reg.setLog.clear();
  p.chip.ResetCounters();

  for (auto _ : state) benchmark::DoNotOptimize(p.dispatch.OnPollTick(firstRun, p.timer));

  const double ticks = static_cast<double>(state.iterations());
  state.counters["reg_calls"] = p.reg.calls / ticks;
  state.counters["reg_writes"] = p.reg.setLog.size() / ticks;
  state.counters["port_accesses"] = static_cast<double>(p.chip.Accesses()) / ticks;
}

BENCHMARK_CAPTURE(IdleTick, sis, ChipsetSim::kSisVendor);
BENCHMARK_CAPTURE(IdleTick, extended_bank, uint16_t{0x8086});

}  // namespace
}  // namespace zeph

BENCHMARK_MAIN();

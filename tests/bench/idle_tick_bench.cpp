// One idle poll tick (no button pressed) over the fake registry and the
// simulated chipset, with the registry and port traffic it causes.
#include <benchmark/benchmark.h>

#include "fakes.h"
#include "monitor/launch_dispatch.h"
#include "portio/chipset_sim.h"

namespace zeph {
namespace {

void IdleTick(benchmark::State& state, uint16_t vendor) {
  fake::Registry reg;
  reg.watchable = true;  // as the Windows registry is
  fake::Windows windows;
  fake::MessageBoxes boxes;
  fake::Starter starter;
  fake::Timer timer;
  fake::Sleeper sleeper;
  ChipsetSim chip(vendor);
  SlotStore slots(reg, windows);
  ButtonReader reader(chip, sleeper);
  LaunchDispatch dispatch(slots, reader, starter, windows, boxes);

  bool firstRun = true;
  dispatch.OnPollTick(firstRun, timer);  // the first tick normalises the stored values
  reg.calls = reg.writes = 0;
  chip.ResetCounters();

  for (auto _ : state) benchmark::DoNotOptimize(dispatch.OnPollTick(firstRun, timer));

  const double ticks = static_cast<double>(state.iterations());
  state.counters["reg_calls"] = reg.calls / ticks;
  state.counters["reg_writes"] = reg.writes / ticks;
  state.counters["port_accesses"] = static_cast<double>(chip.Accesses()) / ticks;
}

BENCHMARK_CAPTURE(IdleTick, sis, ChipsetSim::kSisVendor);
BENCHMARK_CAPTURE(IdleTick, extended_bank, uint16_t{0x8086});

}  // namespace
}  // namespace zeph

BENCHMARK_MAIN();

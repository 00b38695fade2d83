// One SMC key read through the shared connection, served from the value
// cache and, beside it, read fresh from the (simulated) driver every time;
// the ratio of the two is what the cache saves per sensor reading. The
// driver-call counter shows each read's cost in structure calls.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/simulated/SMCDriverBehaviour.h"
#include "platform/simulated/SimulatedMachine.h"
#include "smc/ZORSystemManagementController.h"

namespace {

using zor::ZORSystemManagementController;

// Reads "TC0D" of the demo machine; `fresh` moves the clock past the expiry
// time before every read so that none is served from the cache.
void readKey(benchmark::State& state, bool fresh) {
  std::string error;
  auto machine = zor::SimulatedMachine::load("demo", &error);
  if (!machine) {
    state.SkipWithError(error.c_str());
    return;
  }
  zor::Machine::install(machine);
  zor::ScopedManualClock clock;
  auto smc = ZORSystemManagementController::sharedSystemManagementController();
  zor::SMCDriverBehaviour* driver =
      zor::SMCDriverBehaviour::of(*machine->registry().findEntryNamed("SMC"));
  if (!smc || driver == nullptr) {
    state.SkipWithError("the demo machine has no SMC");
    return;
  }
  const std::optional<std::string> key = std::string("TC0D");
  driver->resetCallCounts();
  for (auto _ : state) {
    if (fresh) clock.advance(2.0);
    benchmark::DoNotOptimize(smc->objectValueForPropertyWithKey(key));
  }
  state.counters["driver_calls_per_read"] = benchmark::Counter(
      static_cast<double>(driver->totalCallCount()) / static_cast<double>(state.iterations()));
  smc.reset();
  ZORSystemManagementController::forgetSharedSystemManagementController();
  zor::Machine::install(nullptr);
}

void BM_SMCReadUncached(benchmark::State& state) {
  readKey(state, true);
}
void BM_SMCReadCached(benchmark::State& state) {
  readKey(state, false);
}

BENCHMARK(BM_SMCReadUncached);
BENCHMARK(BM_SMCReadCached);

}  // namespace

// Discovery: what a new widget instance costs on the demo machine, in time
// and in SMC driver calls. The first instance finds the SMC's keys (one
// key-at-index call per key) and reads what it needs fresh (two calls per
// read: key information, then bytes); an instance made within the cache time
// needs no driver call at all. The calls are set beside that minimum.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SMCDriverBehaviour.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "smc/ZORSystemManagementController.h"
#include "smc/_ZORSMCKeyData.h"
#include "widget/PluginController.h"

namespace {

using zor::SMCDriverBehaviour;
using Command = zor::_ZORSMCKeyData;

struct Calls {
  double keyAtIndex = 0;
  double keyInformation = 0;
  double bytes = 0;
  double total() const { return keyAtIndex + keyInformation + bytes; }
};

Calls callsOf(const SMCDriverBehaviour& driver) {
  return {static_cast<double>(driver.callCount(Command::kKeyAtIndex)),
          static_cast<double>(driver.callCount(Command::kReadKeyInformation)),
          static_cast<double>(driver.callCount(Command::kReadBytes))};
}

void BM_DiscoveryDemo(benchmark::State& state) {
  zor::ScopedManualClock clock;
  char pattern[] = "/tmp/zor-bench-discovery-XXXXXX";
  if (const char* dir = mkdtemp(pattern)) zor::UserDefaults::setPreferencesDirectory(dir);
  std::string error;
  auto machine = zor::SimulatedMachine::load("demo", &error);
  zor::Machine::install(machine);
  SMCDriverBehaviour* driver = SMCDriverBehaviour::of(*machine->registry().findEntryNamed("SMC"));
  if (driver == nullptr) {
    state.SkipWithError("the demo machine has no SMC");
    return;
  }
  zor::loadPlugin();
  driver->resetCallCounts();

  // The first instance of the process, timed on its own.
  const auto start = std::chrono::steady_clock::now();
  {
    auto first = std::make_shared<zor::PluginController>();
    first->init();
  }
  const std::chrono::duration<double> firstSeconds = std::chrono::steady_clock::now() - start;
  const Calls first = callsOf(*driver);

  driver->resetCallCounts();
  for (auto _ : state) {
    auto controller = std::make_shared<zor::PluginController>();
    controller->init();
    benchmark::DoNotOptimize(controller->numberOfAvailableSensors());
  }
  const Calls later = callsOf(*driver);

  // Every key once, and two calls for each distinct read.
  const double keys =
      static_cast<double>(zor::ZORSystemManagementController::sharedSystemManagementController()
                              ->allPropertyKeys()
                              .size());
  const double minimum = keys + 2 * first.bytes;
  state.counters["first_ms"] = firstSeconds.count() * 1e3;
  state.counters["first_calls"] = first.total();
  state.counters["first_key_at_index"] = first.keyAtIndex;
  state.counters["first_key_info"] = first.keyInformation;
  state.counters["first_reads"] = first.bytes;
  state.counters["smc_keys"] = keys;
  state.counters["later_calls_per_instance"] =
      later.total() / static_cast<double>(state.iterations());
  state.counters["value"] = first.total();
  state.counters["target"] = minimum;
  state.counters["ratio"] = minimum > 0 ? first.total() / minimum : 0;
  zor::ZORSystemManagementController::forgetSharedSystemManagementController();
  zor::Machine::install(nullptr);
}
BENCHMARK(BM_DiscoveryDemo)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

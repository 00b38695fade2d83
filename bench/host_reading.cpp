// One reading of a CPU core as the widget asks for it (a bridge request through
// the dispatcher), read fresh from the driver and, beside it, served within
// the refresh time; on the demo machine with a manual clock.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/BridgeDispatcher.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"

namespace {

using zor::host::BridgeDispatcher;

std::string request(const char* call, const char* args) {
  return std::string("{\"id\": 1, \"instance\": \"bench\", \"call\": \"") + call +
         "\", \"args\": " + args + "}";
}

// The demo machine with a manual clock and preferences in a scratch folder,
// once per process: the benchmark library calls each benchmark more than once.
zor::ManualClock& prepareMachine() {
  static zor::ManualClock* clock = [] {
    auto manual = std::make_shared<zor::ManualClock>();
    zor::Clock::setCurrent(manual);
    char pattern[] = "/tmp/zor-bench-reading-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) zor::UserDefaults::setPreferencesDirectory(dir);
    std::string error;
    zor::Machine::install(zor::SimulatedMachine::load("demo", &error));
    zor::loadPlugin();
    return manual.get();
  }();
  return *clock;
}

// `fresh` moves the clock past the driver's refresh time before every read.
void readCore(benchmark::State& state, bool fresh) {
  zor::ManualClock& clock = prepareMachine();
  BridgeDispatcher dispatcher;
  dispatcher.handleText(request("setWidgetIdentifier", "[\"bench\"]"));
  // Sensor 0 of the demo machine is "CPU Core 1".
  dispatcher.handleText(request("setPreferredSensorIndexForDisplayIndex", "[0, 0]"));
  const std::string reading = request("localizedReadingAtDisplayIndex", "[0]");
  for (auto _ : state) {
    if (fresh) clock.advance(2.0);
    benchmark::DoNotOptimize(dispatcher.handleText(reading));
  }
}

void BM_CoreReadingFresh(benchmark::State& state) {
  readCore(state, true);
}
void BM_CoreReadingCached(benchmark::State& state) {
  readCore(state, false);
}
BENCHMARK(BM_CoreReadingFresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoreReadingCached)->Unit(benchmark::kMicrosecond);

}  // namespace

// A recorded Linux tree (the desktop with an nct6798 Super-I/O chip and
// coretemp, tests/linux/trees/) served as the widget sees it: the time a new
// widget instance takes to find its sensors, and a reading of the first
// sensor through the bridge, fresh (the clock past the driver's one-second
// refresh, so one pread) and within the refresh time.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/BridgeDispatcher.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/linux/HwmonEntries.h"
#include "platform/linux/LinuxRoot.h"
#include "plugin/PluginLoader.h"
#include "widget/PluginController.h"

namespace {

using zor::host::BridgeDispatcher;

// The tree's machine, installed once per process with a manual clock.
zor::ManualClock* prepareMachine() {
  static zor::ManualClock* clock = []() -> zor::ManualClock* {
    auto manual = std::make_shared<zor::ManualClock>();
    zor::Clock::setCurrent(manual);
    char pattern[] = "/tmp/zor-bench-linux-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) zor::UserDefaults::setPreferencesDirectory(dir);
    zor::PlistArray services;
    zor::linuxfs::HwmonEntries::append(
        zor::linuxfs::LinuxRoot(ZOR_SOURCE_DIR "/tests/linux/trees/desktop-nct6798"), &services);
    zor::PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                              {"IORegistryEntryName", "Root"},
                              {"IORegistryEntryChildren", zor::PlistValue(std::move(services))}};
    zor::PlistDictionary profile{{"Name", "desktop-nct6798"}, {"Registry", zor::PlistValue(root)}};
    std::string error;
    auto machine = zor::Machine::fromProfile(zor::PlistValue(profile), "recorded tree", &error);
    if (!machine) return nullptr;
    zor::Machine::install(machine);
    zor::loadPlugin();
    return manual.get();
  }();
  return clock;
}

std::string request(const char* call, const char* args) {
  return std::string("{\"id\": 1, \"instance\": \"bench\", \"call\": \"") + call +
         "\", \"args\": " + args + "}";
}

void BM_LinuxTreeDiscovery(benchmark::State& state) {
  if (!prepareMachine()) {
    state.SkipWithError("the recorded tree gave no machine");
    return;
  }
  int sensors = 0;
  for (auto _ : state) {
    zor::PluginController controller;
    controller.init();
    sensors = controller.numberOfAvailableSensors();
  }
  state.counters["sensors"] = sensors;
}
BENCHMARK(BM_LinuxTreeDiscovery)->Unit(benchmark::kMicrosecond);

void readFirstSensor(benchmark::State& state, bool fresh) {
  zor::ManualClock* clock = prepareMachine();
  if (!clock) {
    state.SkipWithError("the recorded tree gave no machine");
    return;
  }
  BridgeDispatcher dispatcher;
  dispatcher.handleText(request("setWidgetIdentifier", "[\"bench\"]"));
  dispatcher.handleText(request("setPreferredSensorIndexForDisplayIndex", "[0, 0]"));
  const std::string reading = request("localizedReadingAtDisplayIndex", "[0]");
  for (auto _ : state) {
    if (fresh) clock->advance(2.0);
    benchmark::DoNotOptimize(dispatcher.handleText(reading));
  }
}

void BM_LinuxTreeReadingFresh(benchmark::State& state) {
  readFirstSensor(state, true);
}
void BM_LinuxTreeReadingCached(benchmark::State& state) {
  readFirstSensor(state, false);
}
BENCHMARK(BM_LinuxTreeReadingFresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinuxTreeReadingCached)->Unit(benchmark::kMicrosecond);

}  // namespace

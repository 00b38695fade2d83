// The host's memory with one and with fifty widget instances: heap bytes in
// use (mallinfo2) and resident size after the instances have been set up as
// the widget sets itself up, on the demo machine.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/BridgeDispatcher.h"
#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "widget/PluginLoader.h"

namespace {

using zor::host::BridgeDispatcher;

void prepareMachine() {
  static bool prepared = [] {
    char pattern[] = "/tmp/zor-bench-memory-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) zor::UserDefaults::setPreferencesDirectory(dir);
    std::string error;
    zor::Machine::install(zor::SimulatedMachine::load("demo", &error));
    zor::loadPlugin();
    return true;
  }();
  (void)prepared;
}

double heapBytes() {
  return static_cast<double>(mallinfo2().uordblks);
}

double residentBytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

void setUpInstance(BridgeDispatcher& dispatcher, int n) {
  const std::string instance = "instance-" + std::to_string(n);
  auto call = [&](const std::string& name, const std::string& args) {
    dispatcher.handleText("{\"id\": 1, \"instance\": \"" + instance + "\", \"call\": \"" + name +
                          "\", \"args\": " + args + "}");
  };
  call("setWidgetIdentifier", "[\"" + instance + "\"]");
  call("setMaximumSensorNameWidth", "[120]");
  call("localizedReadingAtDisplayIndex", "[0]");
  call("localizedReadingAtDisplayIndex", "[1]");
}

void BM_HostMemory(benchmark::State& state) {
  prepareMachine();
  const int instances = static_cast<int>(state.range(0));
  double heap = 0;
  double resident = 0;
  double heapBefore = 0;
  for (auto _ : state) {
    state.PauseTiming();
    heapBefore = heapBytes();
    state.ResumeTiming();
    BridgeDispatcher dispatcher;
    for (int i = 0; i < instances; ++i) setUpInstance(dispatcher, i);
    state.PauseTiming();
    heap = heapBytes() - heapBefore;
    resident = residentBytes();
    state.ResumeTiming();
  }
  state.counters["heap_bytes"] = heap;
  state.counters["heap_bytes_per_instance"] = heap / instances;
  state.counters["resident_bytes"] = resident;
}
BENCHMARK(BM_HostMemory)->Arg(1)->Arg(50)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

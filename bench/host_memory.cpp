// The widget host's resident memory as a user runs it: the host program on
// the demo machine with one and with fifty widget instances, each set up as
// the widget sets itself up and having read its two sensors over HTTP. VmRSS
// against its target, with the anonymous and file-backed parts beside it.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/HostProcess.h"

namespace {

using zor::bench::HostProcess;

void BM_HostResidentMemory(benchmark::State& state) {
  const int instances = static_cast<int>(state.range(0));
  const double targetMegabytes = instances == 1 ? 10.0 : 15.0;
  std::map<std::string, double> status;
  for (auto _ : state) {
    HostProcess host({"--machine", "demo"});
    if (!host.running()) {
      state.SkipWithError("the host did not start");
      return;
    }
    for (int i = 0; i < instances; ++i) {
      if (!host.setUpInstance("instance-" + std::to_string(i))) {
        state.SkipWithError("a bridge call failed");
        return;
      }
    }
    status = host.statusKilobytes();
  }
  state.counters["anon_MB"] = status["RssAnon"] / 1024;
  state.counters["file_MB"] = status["RssFile"] / 1024;
  zor::bench::reportFigure(state, status["VmRSS"] / 1024, targetMegabytes);
}
BENCHMARK(BM_HostResidentMemory)->Arg(1)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

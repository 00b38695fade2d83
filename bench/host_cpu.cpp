// The widget host's CPU with one widget polling as the widget polls (its two
// readings every three seconds, on a connection kept alive as a browser keeps it),
// over 60 seconds (ZOR_BENCH_POLL_SECONDS to change it), as a share of one
// core. The host program's CPU time comes from wait4(); the same start, set-up
// and stop without polling is subtracted, so only the polling is counted. On
// the demo machine and on a recorded Linux tree (the nct6798 desktop).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/HostProcess.h"

namespace {

using zor::bench::HostProcess;

constexpr double kPollSeconds = 3.0;  // the widget's refresh period
constexpr double kTargetPercent = 0.1;

double measuredSeconds() {
  const char* text = std::getenv("ZOR_BENCH_POLL_SECONDS");
  const double seconds = text ? std::atof(text) : 60.0;
  return seconds > 0 ? seconds : 60.0;
}

// The host's CPU seconds over its life, having polled for `seconds` (0: not at all).
std::optional<double> hostCpuSeconds(const std::vector<std::string>& arguments, double seconds) {
  HostProcess host(arguments);
  if (!host.running() || !host.setUpInstance("widget")) return std::nullopt;
  const auto start = std::chrono::steady_clock::now();
  for (int poll = 1; seconds > 0; ++poll) {
    host.call("widget", "localizedReadingAtDisplayIndex", "[0]");
    host.call("widget", "localizedReadingAtDisplayIndex", "[1]");
    const auto next = start + std::chrono::duration<double>(poll * kPollSeconds);
    if (next - start >= std::chrono::duration<double>(seconds)) {
      std::this_thread::sleep_until(start + std::chrono::duration<double>(seconds));
      break;
    }
    std::this_thread::sleep_until(next);
  }
  return host.stop();
}

void measureHostCpu(benchmark::State& state, const std::vector<std::string>& arguments) {
  const double seconds = measuredSeconds();
  double percent = 0;
  for (auto _ : state) {
    const std::optional<double> quiet = hostCpuSeconds(arguments, 0);
    const std::optional<double> polled = hostCpuSeconds(arguments, seconds);
    if (!quiet || !polled) {
      state.SkipWithError("the host did not start or answer");
      return;
    }
    percent = 100.0 * (*polled - *quiet) / seconds;
    state.counters["start_stop_ms"] = *quiet * 1e3;
    state.counters["polling_ms"] = (*polled - *quiet) * 1e3;
  }
  state.counters["seconds"] = seconds;
  zor::bench::reportFigure(state, percent, kTargetPercent);
}
void BM_HostCpuOneWidget(benchmark::State& state) {
  measureHostCpu(state, {"--machine", "demo"});
}
BENCHMARK(BM_HostCpuOneWidget)->Iterations(1)->Unit(benchmark::kSecond);

void BM_HostCpuOneWidgetLinuxTree(benchmark::State& state) {
  measureHostCpu(
      state, {"--machine", "this", "--root", ZOR_SOURCE_DIR "/tests/linux/trees/desktop-nct6798"});
}
BENCHMARK(BM_HostCpuOneWidgetLinuxTree)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

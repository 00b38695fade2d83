// What choosing the machine at start-up costs: describing the running Linux
// machine (DMI, cpuinfo, meminfo, os-release, the sensor sources) and
// building it, beside loading the built-in demo machine, which every start
// without --machine falls back to on a computer without sensors.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/linux/LinuxMachine.h"
#include "platform/simulated/SimulatedMachine.h"

namespace {

void BM_DescribeThisMachine(benchmark::State& state) {
  const zor::linuxfs::LinuxRoot root("/");
  for (auto _ : state) benchmark::DoNotOptimize(zor::linuxfs::LinuxMachine::profile(root));
}
BENCHMARK(BM_DescribeThisMachine)->Unit(benchmark::kMicrosecond);

void BM_BuildThisMachine(benchmark::State& state) {
  const zor::linuxfs::LinuxRoot root("/");
  std::string error;
  for (auto _ : state) benchmark::DoNotOptimize(zor::linuxfs::LinuxMachine::build(root, &error));
}
BENCHMARK(BM_BuildThisMachine)->Unit(benchmark::kMicrosecond);

void BM_LoadDemoMachine(benchmark::State& state) {
  std::string error;
  for (auto _ : state) benchmark::DoNotOptimize(zor::SimulatedMachine::load("demo", &error));
}
BENCHMARK(BM_LoadDemoMachine)->Unit(benchmark::kMicrosecond);

}  // namespace

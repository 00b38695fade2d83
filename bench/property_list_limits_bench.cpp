// What measuring a property list's nesting and size costs beside converting
// it: the demo machine's profile in its XML and binary forms, measured alone
// and parsed whole (which measures first).

#include <benchmark/benchmark.h>

#include <string>

#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListLimits.h"
#include "platform/PropertyListSerialization.h"
#include "platform/simulated/SimulatedMachine.h"

namespace {

std::string demoProfile(bool binary) {
  const std::string xml(zor::embedded::find(zor::SimulatedMachine::kDemoProfilePath).value_or(""));
  if (!binary) return xml;
  return zor::serializePropertyList(zor::parsePropertyList(xml).value_or(zor::PlistValue()),
                                    zor::PlistFormat::Binary);
}

void BM_MeasureLimits(benchmark::State& state) {
  const std::string bytes = demoProfile(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(zor::PropertyListLimits::refusal(bytes));
}
BENCHMARK(BM_MeasureLimits)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ParsePropertyList(benchmark::State& state) {
  const std::string bytes = demoProfile(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(zor::parsePropertyList(bytes));
}
BENCHMARK(BM_ParsePropertyList)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

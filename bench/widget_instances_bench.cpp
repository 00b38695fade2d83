// The cost of a new widget instance (setWidgetIdentifier with an identifier
// never seen, which stores its first choices) by how many instances the
// preferences file already holds, side by side: a few, the bound, and a file
// left by a flood of 4,000 (the first write forgets all but the bound, so the
// figure shows what the later calls cost). Run on the demo machine.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Bundle.h"
#include "platform/Machine.h"
#include "platform/PropertyListSerialization.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "system/ZORMachineInfo.h"
#include "widget/PluginController.h"
#include "widget/StoredInstances.h"

namespace {

std::string& preferencesFolder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/zor-bench-instances-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string error;
    zor::Machine::install(zor::SimulatedMachine::load("demo", &error));
    zor::loadPlugin();
    return std::string(made ? made : "/tmp");
  }();
  return folder;
}

// A preferences file with `count` instances stored on the demo machine.
void storeInstances(std::int64_t count) {
  zor::PlistDictionary machine;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string instance = "0123456789abcdef0123456789ab" + std::to_string(10000 + i);
    machine[instance + ":SensorIDForDisplayPosition1"] = "SMC:TC0D";
    machine[instance + ":SensorIDForDisplayPosition2"] = "SMC:TB0T";
    machine[instance + ":LastUsed"] = zor::PlistValue::date(static_cast<double>(i));
  }
  const std::string serial = zor::ZORMachineInfo::sharedMachineInfo()->machineSerialNumber();
  const std::string domain = zor::Bundle::pluginBundle().bundleIdentifier().value_or("bench");
  zor::PlistDictionary file{{serial, zor::PlistValue(std::move(machine))},
                            {"IndexOfTemperatureUnit", zor::PlistValue::integer(0)}};
  zor::writePropertyListFile(preferencesFolder() + "/" + domain + ".plist", zor::PlistValue(file),
                             zor::PlistFormat::XML);
}

void BM_NewInstanceWithStoredInstances(benchmark::State& state) {
  zor::UserDefaults::setPreferencesDirectory(preferencesFolder());
  storeInstances(state.range(0));
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  std::int64_t next = 0;
  for (auto _ : state) controller->setWidgetIdentifier("new" + std::to_string(next++));
  zor::UserDefaults::setPreferencesDirectory("");
}
BENCHMARK(BM_NewInstanceWithStoredInstances)
    ->Arg(16)
    ->Arg(static_cast<std::int64_t>(zor::StoredInstances::kMaximum))
    ->Arg(4000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

}  // namespace

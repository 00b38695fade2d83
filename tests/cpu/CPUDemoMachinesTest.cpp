// The demo machines' CPU-monitoring drivers and the plug-in's class-load
// hooks of the CPU-monitor sensor.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"

namespace zor::testing {
namespace {

struct DemoCase {
  const char* profile;  // "demo" or a path below the source folder
  const char* className;
  std::size_t cores;
  double junctionLimit;
};

class CPUDemoMachineTest : public ::testing::TestWithParam<DemoCase> {};

TEST_P(CPUDemoMachineTest, ListsLiveCoreTemperatures) {
  const DemoCase& c = GetParam();
  ScopedManualClock clock(1'765'000'000.0);
  ZORTALVEROx86Monitor::startRefreshClock();
  std::string source = c.profile;
  if (source != "demo") source = std::string(ZOR_SOURCE_DIR) + "/" + source;
  std::string error;
  auto machine = SimulatedMachine::load(source, &error);
  ASSERT_NE(machine, nullptr) << error;
  Machine::install(machine);
  {
    auto sensors = ZORTALVEROx86Monitor::allSensors();
    ASSERT_EQ(sensors.size(), c.cores) << c.profile;
    for (std::size_t i = 0; i < sensors.size(); ++i) {
      auto* monitor = static_cast<ZORTALVEROx86Monitor*>(sensors[i].get());
      EXPECT_EQ(monitor->sensorClass().name, c.className);
      EXPECT_EQ(monitor->locationIdentifier(), "CPU Core " + std::to_string(i + 1));
      EXPECT_EQ(monitor->maximumJunctionTemperature(), c.junctionLimit);
    }
    // The driver's curves keep every core between 30 and 80 degrees.
    for (auto& sensor : sensors) {
      ASSERT_NE(sensor->rawValue(), -1) << sensor->locationIdentifier();
      EXPECT_GT(sensor->value(), 30.0);
      EXPECT_LT(sensor->value(), 80.0);
    }
  }
  EXPECT_EQ(machine->registry().outstandingReferences(), 0);
  Machine::install(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Machines, CPUDemoMachineTest,
                         ::testing::Values(DemoCase{"demo", "ZORTALVEROx86MonitorCPU67184", 2, 105},
                                           DemoCase{"machines/intel-tower.plist",
                                                    "ZORTALVEROx86MonitorCPU67232", 8, 95}));

}  // namespace
}  // namespace zor::testing

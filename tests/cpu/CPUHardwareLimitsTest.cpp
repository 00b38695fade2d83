// A core's junction limit is its temperature sensor's upper and critical
// limit, on the demo machines of two processor families.

#include <gtest/gtest.h>

#include <string>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/simulated/SimulatedMachine.h"

namespace zor::testing {
namespace {

TEST(CPUHardwareLimitsTest, TheJunctionLimitIsTheCoresLimit) {
  const std::pair<const char*, double> cases[] = {{"demo", 105},
                                                  {"machines/intel-tower.plist", 95}};
  for (const auto& [profile, junctionLimit] : cases) {
    SCOPED_TRACE(profile);
    ScopedManualClock clock(1'765'000'000.0);
    std::string source = profile;
    if (source != "demo") source = std::string(ZOR_SOURCE_DIR) + "/" + source;
    std::string error;
    auto machine = SimulatedMachine::load(source, &error);
    ASSERT_NE(machine, nullptr) << error;
    Machine::install(machine);
    {
      auto sensors = ZORTALVEROx86Monitor::allSensors();
      ASSERT_FALSE(sensors.empty());
      for (const auto& sensor : sensors) {
        EXPECT_EQ(sensor->hardwareLimits(), (SensorLimits{junctionLimit, junctionLimit}));
      }
    }
    Machine::install(nullptr);
  }
}

}  // namespace
}  // namespace zor::testing

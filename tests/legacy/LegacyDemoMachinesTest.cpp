// The three PowerPC-era demo machines, loaded from their built-in profiles:
// what the widget lists on each, and that their readings are alive.

#include <gtest/gtest.h>

#include "legacy/ZORSMUInfo.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "plugin/PluginLoader.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"
#include "widget/PluginController.h"

namespace zor::testing {
namespace {

using namespace std::string_literals;

// Each machine lists its sensors in sorted places ("location / family /
// sensor name"), each with a display name and a plausible reading that moves
// with the machine's curves.
TEST_F(LegacyMachineTest, DemoMachinesListTheirSensorsWithLiveReadings) {
  ScopedSensorClassRegistry scope;
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (std::string(hook.what) == "register sensor class" && hook.run) hook.run();
  }
  ScopedManualClock clock(7.0e8);
  const std::pair<const char*, const char*> cases[] = {
      {"g5-tower",
       "BACKSIDE / ZORHWTemperatureSensor / Maxim MAX6690\n"
       "CPU A AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417\n"
       "CPU A AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417\n"
       "CPU A DIODE / ZORHWTempDiodeSensor / Apple System Management Unit\n"
       "CPU B AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417\n"
       "CPU B AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417\n"
       "DRIVE BAY / ZORHWTemperatureSensor / National Semiconductor LM7x\n"
       "GPU / ZORHWTempDiodeSensor / nVidia Graphics Card\n"
       "INTAKE / ZORHWTempDiodeSensor / Maxim/Dallas DS1631\n"
       "U3 HEATSINK / ZORHWTemperatureSensor / Maxim MAX6690\n"},
      {"mdd-tower",
       "CPU BOARD / ZORMDDTemperatureSensor / Dallas DS 1775\n"
       "GPU / ZORHWTemperatureSensor / Legacy support for graphics card\n"},
      {"xserve",
       "CPU DIODE / ZORHWTempDiodeSensor / National Semiconductor LM8x\n"
       "Internal Ambient / ZORXserveTemperatureSensor / National Semiconductor LM87\n"}};
  for (const auto& [machine, expected] : cases) {
    std::string error;
    auto profile = parsePropertyList(
        std::string(embedded::find("machines/"s + machine + ".plist").value_or("")), &error);
    ASSERT_TRUE(profile.has_value()) << error;
    install({}, *profile);
    auto controller = std::make_shared<PluginController>();
    controller->init();
    std::string listed;
    bool moved = false;
    for (const auto& sensor : controller->sensorArray()) {
      const std::string location = sensor->locationIdentifier();
      listed += location + " / " + sensor->sensorClass().name + " / " + sensor->sensorName() + "\n";
      EXPECT_NE(Bundle::pluginBundle().localizedString(location, "", "SensorLocations"), location);
      const double first = sensor->value();
      EXPECT_TRUE(first > 20.0 && first < 70.0) << location << " " << first;
      clock.advance(8.0);
      moved = moved || sensor->value() != first;
    }
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(moved) << machine << ": no reading changes with time";
    // The G5's platform plug-in names the highest CPU temperature it was designed for.
    EXPECT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), machine == "g5-tower"s ? 90.0f : 0.0f);
  }
}

}  // namespace
}  // namespace zor::testing

// The legacy families in the plug-in: their places among the class-load
// hooks and the PowerPC demo machines as the widget lists them.

#include <gtest/gtest.h>

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

// The families register in the plug-in's load order. Each PowerPC demo
// machine lists its sensors in sorted places ("location / family / sensor
// name"), each with a display name and a reading that moves with the
// machine's curves (the MDD and the Xserve publish theirs as live properties).
TEST_F(LegacyMachineTest, TheDemoMachinesListLiveSensorsInSortedPlaces) {
  ScopedSensorClassRegistry scope;
  ScopedManualClock clock(7.0e8);
  std::string slots;
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (std::string(hook.what) != "register sensor class") continue;
    slots += std::string(hook.className) + " ";
    if (hook.run) hook.run();
  }
  EXPECT_EQ(slots,
            "ZORAnalogDigitalConverter ZORHWTempDiodeSensor ZORHWTemperatureSensor "
            "ZORMDDTemperatureSensor ZORSMARTTemperatureSensor ZORXserveTemperatureSensor "
            "ZORTALVEROx86Monitor ZORSMCTemperatureSensor ZORHwmonSensor ");
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
    std::string error, listed;
    auto profile = parsePropertyList(
        std::string(embedded::find(std::string("machines/") + machine + ".plist").value_or("")),
        &error);
    ASSERT_TRUE(profile.has_value()) << error;
    install({}, *profile);
    auto controller = std::make_shared<PluginController>();
    controller->init();
    for (const auto& sensor : controller->sensorArray()) {
      const std::string location = sensor->locationIdentifier();
      listed += location + " / " + sensor->sensorClass().name + " / " + sensor->sensorName() + "\n";
      EXPECT_NE(Bundle::pluginBundle().localizedString(location, "", "SensorLocations"), location);
      const double first = sensor->value();
      EXPECT_TRUE(first > 20.0 && first < 70.0) << location << ": " << first;
      clock.advance(8.0);
      EXPECT_NE(sensor->value(), first) << location << ": its reading does not move";
    }
    EXPECT_EQ(listed, expected);
  }
}

}  // namespace
}  // namespace zor::testing

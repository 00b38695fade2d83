// The legacy families in the plug-in: their places among the class-load
// hooks and the G5 demo machine as the widget lists it.

#include <gtest/gtest.h>

#include "platform/Bundle.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "plugin/PluginLoader.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"
#include "widget/PluginController.h"

namespace zor::testing {
namespace {

// The families register in the plug-in's load order. The G5 demo lists its
// diode, I2C and SMU temperatures in sorted places ("location / family /
// sensor name"), each with a display name.
TEST_F(LegacyMachineTest, TheG5DemoListsItsSensorsInSortedPlaces) {
  ScopedSensorClassRegistry scope;
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
  std::string error;
  auto profile = parsePropertyList(
      std::string(embedded::find("machines/g5-tower.plist").value_or("")), &error);
  ASSERT_TRUE(profile.has_value()) << error;
  install({}, *profile);
  auto controller = std::make_shared<PluginController>();
  controller->init();
  std::string listed;
  for (const auto& sensor : controller->sensorArray()) {
    const std::string location = sensor->locationIdentifier();
    listed += location + " / " + sensor->sensorClass().name + " / " + sensor->sensorName() + "\n";
    EXPECT_NE(Bundle::pluginBundle().localizedString(location, "", "SensorLocations"), location);
    EXPECT_GT(sensor->value(), 20.0) << location;
  }
  EXPECT_EQ(listed,
            "BACKSIDE / ZORHWTemperatureSensor / Maxim MAX6690\n"
            "CPU A AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417\n"
            "CPU A AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417\n"
            "CPU A DIODE / ZORHWTempDiodeSensor / Apple System Management Unit\n"
            "CPU B AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417\n"
            "CPU B AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417\n"
            "DRIVE BAY / ZORHWTemperatureSensor / National Semiconductor LM7x\n"
            "GPU / ZORHWTempDiodeSensor / nVidia Graphics Card\n"
            "INTAKE / ZORHWTempDiodeSensor / Maxim/Dallas DS1631\n"
            "U3 HEATSINK / ZORHWTemperatureSensor / Maxim MAX6690\n");
}

}  // namespace
}  // namespace zor::testing

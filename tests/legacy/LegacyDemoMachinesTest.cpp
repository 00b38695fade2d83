// The three PowerPC-era demo machines, loaded from their built-in profiles:
// what the widget lists on each, and that their readings are alive.

#include <gtest/gtest.h>

#include "legacy/ZORAnalogDigitalConverter.h"
#include "legacy/ZORHWTempDiodeSensor.h"
#include "legacy/ZORHWTemperatureSensor.h"
#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORSMUInfo.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"
#include "widget/PluginController.h"

namespace zor::testing {
namespace {

class DemoMachineTest : public LegacyMachineTest {
 protected:
  void SetUp() override {
    ZORSensor::registerSensorClass(ZORAnalogDigitalConverter::classObject());
    ZORSensor::registerSensorClass(ZORHWTempDiodeSensor::classObject());
    ZORSensor::registerSensorClass(ZORHWTemperatureSensor::classObject());
    ZORSensor::registerSensorClass(ZORMDDTemperatureSensor::classObject());
    ZORSensor::registerSensorClass(ZORXserveTemperatureSensor::classObject());
  }

  void load(const std::string& machine) {
    auto bytes = embedded::find("machines/" + machine + ".plist");
    ASSERT_TRUE(bytes.has_value()) << machine << " is not built in";
    std::string error;
    auto profile = parsePropertyList(std::string(*bytes), &error);
    ASSERT_TRUE(profile.has_value()) << error;
    controller_.reset();  // its sensors hold references into the machine it leaves
    installProfile(*profile);
    controller_ = std::make_shared<PluginController>();
    controller_->init();
  }

  void TearDown() override {
    controller_.reset();
    LegacyMachineTest::TearDown();
  }

  // "location / family / sensor name" of each listed sensor, in the list's order.
  std::vector<std::string> listed() const {
    std::vector<std::string> result;
    for (const auto& sensor : controller_->sensorArray()) {
      result.push_back(sensor->locationIdentifier() + " / " + sensor->sensorClass().name + " / " +
                       sensor->sensorName());
    }
    return result;
  }

  ScopedSensorClassRegistry scope_;
  ScopedManualClock clock_{7.0e8};
  std::shared_ptr<PluginController> controller_;
};

// Each machine lists its sensors in sorted places, each with a display name
// and a live reading: plausible, and moving with the machine's curves.
TEST_F(DemoMachineTest, ListsItsSensorsWithLiveReadings) {
  const std::tuple<const char*, std::vector<std::string>, float> cases[] = {
      {"g5-tower",
       {"BACKSIDE / ZORHWTemperatureSensor / Maxim MAX6690",
        "CPU A AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417",
        "CPU A AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417",
        "CPU A DIODE / ZORHWTempDiodeSensor / Apple System Management Unit",
        "CPU B AD7417 AD1 / ZORG5TemperatureSensor / Analog Devices AD7417",
        "CPU B AD7417 AMB / ZORHWTemperatureSensor / Analog Devices AD7417",
        "DRIVE BAY / ZORHWTemperatureSensor / National Semiconductor LM7x",
        "GPU / ZORHWTempDiodeSensor / nVidia Graphics Card",
        "INTAKE / ZORHWTempDiodeSensor / Maxim/Dallas DS1631",
        "U3 HEATSINK / ZORHWTemperatureSensor / Maxim MAX6690"},
       90.0f},
      {"mdd-tower",
       {"CPU BOARD / ZORMDDTemperatureSensor / Dallas DS 1775",
        "GPU / ZORHWTemperatureSensor / Legacy support for graphics card"},
       0.0f},
      {"xserve",
       {"CPU DIODE / ZORHWTempDiodeSensor / National Semiconductor LM8x",
        "Internal Ambient / ZORXserveTemperatureSensor / National Semiconductor LM87"},
       0.0f}};
  for (const auto& [machine, expected, maximumCPUDesignTemperature] : cases) {
    load(machine);
    EXPECT_EQ(listed(), expected);
    EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), maximumCPUDesignTemperature);
    bool moved = false;
    for (const auto& sensor : controller_->sensorArray()) {
      const std::string location = sensor->locationIdentifier();
      EXPECT_NE(Bundle::pluginBundle().localizedString(location, "", "SensorLocations"), location)
          << location << " has no display name";
      const double first = sensor->value();
      EXPECT_GT(first, 20.0) << location;
      EXPECT_LT(first, 70.0) << location;
      clock_.advance(8.0);
      moved = moved || sensor->value() != first;
    }
    EXPECT_TRUE(moved) << machine << ": no reading changes with time";
  }
}

}  // namespace
}  // namespace zor::testing

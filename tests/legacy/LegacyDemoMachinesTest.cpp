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

struct Listed {
  std::string location;
  std::string family;
  std::string name;
  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& listed) {
  return out << listed.location << " / " << listed.family << " / " << listed.name;
}

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

  std::vector<Listed> listed() const {
    std::vector<Listed> result;
    for (const auto& sensor : controller_->sensorArray()) {
      result.push_back(
          {sensor->locationIdentifier(), sensor->sensorClass().name, sensor->sensorName()});
    }
    return result;
  }

  ZORSensor& sensorAt(const std::string& location) {
    for (const auto& sensor : controller_->sensorArray()) {
      if (sensor->locationIdentifier() == location) return *sensor;
    }
    ADD_FAILURE() << "no sensor at " << location;
    return *controller_->sensorArray().front();
  }

  ScopedSensorClassRegistry scope_;
  ScopedManualClock clock_{7.0e8};
  std::shared_ptr<PluginController> controller_;
};

// Each machine lists its sensors in sorted places, each with a display name
// and a live reading: plausible, and moving with the machine's curves.
TEST_F(DemoMachineTest, ListsItsSensorsWithLiveReadings) {
  struct Case {
    const char* machine;
    std::vector<Listed> expected;
    float maximumCPUDesignTemperature;
  };
  const char* hw = "ZORHWTemperatureSensor";
  const char* diode = "ZORHWTempDiodeSensor";
  const char* g5 = "ZORG5TemperatureSensor";
  const char* ad7417 = "Analog Devices AD7417";
  const char* max6690 = "Maxim MAX6690";
  const Case cases[] = {
      {"g5-tower",
       {{"BACKSIDE", hw, max6690},
        {"CPU A AD7417 AD1", g5, ad7417},
        {"CPU A AD7417 AMB", hw, ad7417},
        {"CPU A DIODE", diode, "Apple System Management Unit"},
        {"CPU B AD7417 AD1", g5, ad7417},
        {"CPU B AD7417 AMB", hw, ad7417},
        {"DRIVE BAY", hw, "National Semiconductor LM7x"},
        {"GPU", diode, "nVidia Graphics Card"},
        {"INTAKE", diode, "Maxim/Dallas DS1631"},
        {"U3 HEATSINK", hw, max6690}},
       90.0f},
      {"mdd-tower",
       {{"CPU BOARD", "ZORMDDTemperatureSensor", "Dallas DS 1775"},
        {"GPU", hw, "Legacy support for graphics card"}},
       0.0f},
      {"xserve",
       {{"CPU DIODE", diode, "National Semiconductor LM8x"},
        {"Internal Ambient", "ZORXserveTemperatureSensor", "National Semiconductor LM87"}},
       0.0f},
  };
  for (const Case& c : cases) {
    load(c.machine);
    EXPECT_EQ(listed(), c.expected);
    EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), c.maximumCPUDesignTemperature);
    bool moved = false;
    for (const Listed& sensor : listed()) {
      std::string shown =
          Bundle::pluginBundle().localizedString(sensor.location, "", "SensorLocations");
      EXPECT_NE(shown, sensor.location) << sensor.location << " has no display name";
      ZORSensor& live = sensorAt(sensor.location);
      const double first = live.value();
      EXPECT_GT(first, 20.0) << sensor.location;
      EXPECT_LT(first, 70.0) << sensor.location;
      clock_.advance(8.0);
      moved = moved || live.value() != first;
    }
    EXPECT_TRUE(moved) << c.machine << ": no reading changes with time";
  }
}

}  // namespace
}  // namespace zor::testing

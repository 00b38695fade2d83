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

  void expectDisplayNames() const {
    for (const Listed& sensor : listed()) {
      std::string shown =
          Bundle::pluginBundle().localizedString(sensor.location, "", "SensorLocations");
      EXPECT_NE(shown, sensor.location) << sensor.location << " has no display name";
    }
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

TEST_F(DemoMachineTest, G5TowerListsDiodeI2CAndSMUTemperaturesInSortedPlaces) {
  load("g5-tower");
  const std::vector<Listed> expected = {
      {"BACKSIDE", "ZORHWTemperatureSensor", "Maxim MAX6690"},
      {"CPU A AD7417 AD1", "ZORG5TemperatureSensor", "Analog Devices AD7417"},
      {"CPU A AD7417 AMB", "ZORHWTemperatureSensor", "Analog Devices AD7417"},
      {"CPU A DIODE", "ZORHWTempDiodeSensor", "Apple System Management Unit"},
      {"CPU B AD7417 AD1", "ZORG5TemperatureSensor", "Analog Devices AD7417"},
      {"CPU B AD7417 AMB", "ZORHWTemperatureSensor", "Analog Devices AD7417"},
      {"DRIVE BAY", "ZORHWTemperatureSensor", "National Semiconductor LM7x"},
      {"GPU", "ZORHWTempDiodeSensor", "nVidia Graphics Card"},
      {"INTAKE", "ZORHWTempDiodeSensor", "Maxim/Dallas DS1631"},
      {"U3 HEATSINK", "ZORHWTemperatureSensor", "Maxim MAX6690"},
  };
  EXPECT_EQ(listed(), expected);
  expectDisplayNames();
}

TEST_F(DemoMachineTest, G5TowerReadingsAreAlive) {
  load("g5-tower");
  EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 90.0f);
  for (const char* location : {"CPU A AD7417 AD1", "CPU B AD7417 AD1", "CPU A DIODE"}) {
    ZORSensor& sensor = sensorAt(location);
    double first = sensor.value();
    EXPECT_GT(first, 35.0) << location;
    EXPECT_LT(first, 75.0) << location;
    clock_.advance(8.0);
    EXPECT_NE(sensor.value(), first) << location << " does not change with time";
  }
}

TEST_F(DemoMachineTest, DriverPropertyMachinesListTheirSensorsWithLiveReadings) {
  struct Case {
    const char* machine;
    std::vector<Listed> expected;
    int index;
    double period;        // seconds; the reading is at its base at a whole period
    const char* reading;  // a quarter period on
  };
  const Case cases[] = {
      {"mdd-tower",
       {{"CPU BOARD", "ZORMDDTemperatureSensor", "Dallas DS 1775"},
        {"GPU", "ZORHWTemperatureSensor", "Legacy support for graphics card"}},
       0,
       45.0,
       "47.0\u00b0C"},  // 11520 / 256 = 45 degrees, +-2
      {"xserve",
       {{"CPU DIODE", "ZORHWTempDiodeSensor", "National Semiconductor LM8x"},
        {"Internal Ambient", "ZORXserveTemperatureSensor", "National Semiconductor LM87"}},
       1,
       70.0,
       "41\u00b0C"},  // 38 +-3, whole degrees
  };
  for (const Case& c : cases) {
    load(c.machine);
    EXPECT_EQ(listed(), c.expected);
    clock_.clock().set(c.period * 1.0e7);
    clock_.advance(c.period / 4);
    EXPECT_EQ(withoutAlignment(controller_->localizedReadingForSensorAtIndex(c.index)), c.reading)
        << c.machine;
    expectDisplayNames();
  }
}

}  // namespace
}  // namespace zor::testing

// The three PowerPC-era demo machines, loaded from their built-in profiles:
// what the widget lists on each, and that their readings are alive.

#include <gtest/gtest.h>

#include <cmath>

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
}

TEST_F(DemoMachineTest, G5TowerReadingsArePlausibleAndAlive) {
  load("g5-tower");
  ASSERT_EQ(ZORSMUInfo::allSMUs().size(), 1u);
  EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 90.0f);
  const char* processors[] = {"CPU A AD7417 AD1", "CPU B AD7417 AD1", "CPU A DIODE"};
  for (const char* location : processors) {
    ZORSensor& sensor = sensorAt(location);
    double first = sensor.value();
    EXPECT_GT(first, 35.0) << location;
    EXPECT_LT(first, 75.0) << location;
    clock_.advance(8.0);
    EXPECT_NE(sensor.value(), first) << location << " does not change with time";
  }
}

TEST_F(DemoMachineTest, MirroredDriveDoorTowerBoardThermometerIsAlive) {
  load("mdd-tower");
  const std::vector<Listed> expected = {
      {"CPU BOARD", "ZORMDDTemperatureSensor", "Dallas DS 1775"},
      {"GPU", "ZORHWTemperatureSensor", "Legacy support for graphics card"},
  };
  EXPECT_EQ(listed(), expected);
  ZORSensor& board = sensorAt("CPU BOARD");
  // 11520 / 256 = 45 degrees, +-2 over 45 seconds.
  clock_.clock().set(45.0 * 1.0e7);
  EXPECT_NEAR(board.value(), 45.0, 0.01);
  clock_.advance(45.0 / 4);
  EXPECT_NEAR(board.value(), 47.0, 0.01);
  EXPECT_EQ(withoutAlignment(controller_->localizedReadingForSensorAtIndex(0)), "47.0\u00b0C");
}

TEST_F(DemoMachineTest, XserveAmbientSensorIsAlive) {
  load("xserve");
  const std::vector<Listed> expected = {
      {"CPU DIODE", "ZORHWTempDiodeSensor", "National Semiconductor LM8x"},
      {"Internal Ambient", "ZORXserveTemperatureSensor", "National Semiconductor LM87"},
  };
  EXPECT_EQ(listed(), expected);
  ZORSensor& ambient = sensorAt("Internal Ambient");
  clock_.clock().set(70.0 * 1.0e7);
  EXPECT_EQ(ambient.rawValue(), 38);
  clock_.advance(70.0 / 4);
  EXPECT_EQ(ambient.rawValue(), 41);
  // Whole degrees: the widget shows no decimals.
  EXPECT_EQ(withoutAlignment(controller_->localizedReadingForSensorAtIndex(1)), "41\u00b0C");
}

TEST_F(DemoMachineTest, EveryListedPlaceHasADisplayName) {
  for (const char* machine : {"g5-tower", "mdd-tower", "xserve"}) {
    load(machine);
    for (const Listed& sensor : listed()) {
      std::string shown =
          Bundle::pluginBundle().localizedString(sensor.location, "", "SensorLocations");
      EXPECT_NE(shown, sensor.location) << machine << ": " << sensor.location;
    }
  }
}

TEST_F(DemoMachineTest, LivePropertiesMustNameCurves) {
  struct Case {
    PlistValue liveProperties;
    const char* problem;
  };
  const Case cases[] = {
      {PlistValue("temperature"), "\"LiveProperties\" must be an array of strings"},
      {PlistArray{PlistValue::integer(1)}, "\"LiveProperties\" must be an array of strings"},
      {PlistArray{PlistValue("IntTemp")}, "\"LiveProperties\" names \"IntTemp\""},
  };
  for (const Case& c : cases) {
    PlistDictionary simulation{
        {"LiveProperties", c.liveProperties},
        {"Wave", PlistDictionary{
                     {"temperature", PlistDictionary{{"Base", PlistValue::real(1)},
                                                     {"Amplitude", PlistValue::real(1)},
                                                     {"PeriodSeconds", PlistValue::real(10)}}}}}};
    PlistValue profile = profileWith(
        {driverEntry("AppleCPUThermo", {},
                     {{"temperature", PlistValue::integer(1)}, {"ZORSimulation", simulation}})});
    std::string error;
    EXPECT_EQ(SimulatedMachine::fromProfile(profile, "live.plist", &error), nullptr);
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zor::testing

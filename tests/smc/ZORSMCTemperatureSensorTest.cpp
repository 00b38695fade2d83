// The SMC temperature sensors over the simulated SMC: discovery, creation,
// readings with the no-reading marks, registration and references; and both
// demo machines end to end through the location table.

#include "smc/ZORSMCTemperatureSensor.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Bundle.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/ZORSensorValueConverter.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using testing::smcKey;
using testing::SMCTest;
using testing::sp78;
using testing::sp78Key;

std::vector<std::string> keysOf(const std::vector<std::shared_ptr<ZORSensor>>& sensors) {
  std::vector<std::string> keys;
  for (const auto& sensor : sensors) {
    auto* smc = dynamic_cast<ZORSMCTemperatureSensor*>(sensor.get());
    keys.push_back(smc != nullptr ? smc->smcKey().value_or("?") : "not an SMC sensor");
  }
  return keys;
}

class ZORSMCTemperatureSensorTest : public SMCTest {
 protected:
  void installDiscoveryMachine() {
    ASSERT_TRUE(installKeys({
        sp78Key("TC0D", 52.25),          // known
        smcKey("FNum", "ui8 ", {2}),     // not a temperature
        sp78Key("TB0T", 31.0),           // known
        sp78Key("TG0D", 0.0),            // reads 0
        sp78Key("TN0P", -5.0),           // reads below 0
        smcKey("TC1D", "zzzz", {1, 2}),  // a byte block
        sp78Key("TCTD", 40.0),           // known group, no sensor
        sp78Key("TZ0P", 40.0),           // unknown group
        smcKey("Tm0P", "ui8 ", {39}),    // an integer type counts too
    }));
  }
};

TEST_F(ZORSMCTemperatureSensorTest, DiscoveryKeepsKnownPositiveTemperatures) {
  installDiscoveryMachine();
  auto sensors = ZORSMCTemperatureSensor::allSensors();
  EXPECT_EQ(keysOf(sensors), (std::vector<std::string>{"TC0D", "TB0T", "Tm0P"}));
  ASSERT_FALSE(sensors.empty());
  const auto& cpu = *sensors.front();
  EXPECT_EQ(cpu.uniqueIdentifier(), "smc.temperature.DF3");
  EXPECT_EQ(cpu.locationIdentifier(), "SMC CPU A DIODE");
  EXPECT_EQ(cpu.sensorName(), "Apple System Management Controller");
  EXPECT_EQ(cpu.unit(), "C");
  EXPECT_EQ(sensors.front()->rawValue(), 52);
  // Only the shared controller's entry and connection stay referenced.
  sensors.clear();
  EXPECT_EQ(outstanding(), 2);
  ZORSystemManagementController::forgetSharedSystemManagementController();
  EXPECT_EQ(outstanding(), 0);
}

// Without the model, TM0S would be a memory module, TH1P drive bay 2 and TMB1 nothing.
TEST_F(ZORSMCTemperatureSensorTest, DiscoveryNamesKeysByTheMachinesModel) {
  ASSERT_TRUE(install(testing::profileWithServices(
      {testing::smcService({sp78Key("TM0P", 40.0), sp78Key("TM0S", 41.0), sp78Key("TH1P", 30.0),
                            sp78Key("TMB1", 42.0)})},
      "MacPro5,1")));
  std::vector<std::string> locations;
  for (const auto& sensor : ZORSMCTemperatureSensor::allSensors()) {
    locations.push_back(sensor->locationIdentifier());
  }
  EXPECT_EQ(locations, (std::vector<std::string>{"SMC DRIVE BAY 1", "SMC MEMORY MODULE SLOT 5"}));
}

TEST_F(ZORSMCTemperatureSensorTest, NoSMCNoSensors) {
  ASSERT_TRUE(install(testing::profileWithServices({})));
  EXPECT_TRUE(ZORSMCTemperatureSensor::allSensors().empty());
  EXPECT_EQ(
      ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{{"SMCKey", "TC0D"}}),
      nullptr);
}

TEST_F(ZORSMCTemperatureSensorTest, CreationNeedsADescriptionAndAPositiveReading) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0), sp78Key("TG0D", 0.0)}));
  EXPECT_EQ(ZORSMCTemperatureSensor::sensorWithSensorDescription(std::nullopt), nullptr);
  for (const char* key : {"TG0D", "TX0D"}) {
    EXPECT_EQ(
        ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{{"SMCKey", key}}),
        nullptr)
        << key;
  }
  auto sensor = ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{
      {"SMCKey", "TC0D"}, {"LocationID", "HERE"}, {"UniqueID", "smc.temperature.DF3"}});
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->locationIdentifier(), "HERE");
  EXPECT_EQ(sensor->smc(), ZORSystemManagementController::sharedSystemManagementController());
}

TEST_F(ZORSMCTemperatureSensorTest, RawValueTruncatesAndMarksMissingReadings) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0)}));
  auto sensor = ZORSMCTemperatureSensor::sensorWithSensorDescription(
      ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(std::string("TC0D"), std::nullopt));
  ASSERT_NE(sensor, nullptr);
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::int32_t raw;
  };
  const Case cases[] = {
      {sp78(45.9), 45},     {sp78(-0.5), 0},     {sp78(-127.0), -1},
      {sp78(-121.0), -1},   {sp78(-126.5), -1},  {sp78(-120.5), -120},
      {sp78(-128.0), -128}, {sp78(127.99), 127}, {{0x2D}, -1},  // a byte block is no number
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(driver().setKeyBytes("TC0D", c.bytes));
    clock_.advance(1.5);
    EXPECT_EQ(sensor->rawValue(), c.raw) << int(c.bytes[0]) << " " << int(c.bytes.back());
  }
  // A read that fails once the driver is gone is no reading either.
  Machine::install(nullptr);
  clock_.advance(2.0);
  ScopedLogCapture log;
  EXPECT_EQ(sensor->rawValue(), -1);
  EXPECT_EQ(sensor->valueConverter()->valueForRawSensorValue(-1), -1.0);
  Machine::install(machine_);
}

TEST_F(ZORSMCTemperatureSensorTest, RegistersAndIsFoundThroughTheSensorModel) {
  installDiscoveryMachine();
  ScopedSensorClassRegistry registry;
  ZORSMCTemperatureSensor::load();
  ASSERT_EQ(ZORSensor::knownSensorClasses().size(), 1u);
  EXPECT_EQ(ZORSensor::knownSensorClasses()[0]->name, "ZORSMCTemperatureSensor");
  EXPECT_EQ(keysOf(ZORSensor::allSensors()), (std::vector<std::string>{"TC0D", "TB0T", "Tm0P"}));
}

// Both demo machines: every SMC temperature has a live reading and a
// location the display table names.
class SMCDemoMachineTest : public SMCTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SMCDemoMachineTest, TemperaturesAreNamedAndLive) {
  auto bytes = embedded::find(GetParam());
  ASSERT_TRUE(bytes.has_value());
  std::string error;
  auto profile = parsePropertyList(std::string(*bytes), &error);
  ASSERT_TRUE(profile.has_value()) << error;
  ASSERT_TRUE(install(*profile));
  auto sensors = ZORSMCTemperatureSensor::allSensors();
  EXPECT_GE(sensors.size(), 15u);
  EXPECT_GE(
      ZORSystemManagementController::sharedSystemManagementController()->allPropertyKeys().size(),
      40u);
  std::vector<std::string> identifiers;
  for (const auto& sensor : sensors) {
    std::string location = sensor->locationIdentifier();
    EXPECT_NE(Bundle::pluginBundle().localizedString(location, location, "SensorLocations"),
              location)
        << location << " has no display name";
    EXPECT_GT(sensor->rawValue(), 0) << location;
    identifiers.push_back(sensor->uniqueIdentifier());
  }
  std::sort(identifiers.begin(), identifiers.end());
  EXPECT_EQ(std::adjacent_find(identifiers.begin(), identifiers.end()), identifiers.end())
      << "unique identifiers repeat";
  // The readings move: somewhere within a period the CPU diode changes.
  auto cpu = std::find_if(sensors.begin(), sensors.end(), [](const auto& sensor) {
    return sensor->locationIdentifier() == "SMC CPU A DIODE";
  });
  ASSERT_NE(cpu, sensors.end());
  std::int32_t start = (*cpu)->rawValue();
  bool changed = false;
  for (int step = 0; step < 20 && !changed; ++step) {
    clock_.advance(2.0);
    changed = (*cpu)->rawValue() != start;
  }
  EXPECT_TRUE(changed);
}

INSTANTIATE_TEST_SUITE_P(Machines, SMCDemoMachineTest,
                         ::testing::Values("machines/intel-notebook.plist",
                                           "machines/intel-tower.plist"));

}  // namespace
}  // namespace zor

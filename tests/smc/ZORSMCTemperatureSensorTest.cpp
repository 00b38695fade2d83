// The SMC temperature sensors over the simulated SMC: discovery, creation,
// readings with the no-reading marks, cache use, registration and
// references; and both demo machines end to end through the location table.

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
using testing::sp78Key;

std::vector<std::uint8_t> sp78(double degrees) {
  auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(degrees * 256));
  return {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw & 0xFF)};
}

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
  EXPECT_EQ(cpu.sensorType(), 1);
  EXPECT_EQ(cpu.quantityType(), 1);
  EXPECT_EQ(cpu.precision(), 1.0);
  EXPECT_EQ(cpu.accuracy(), 0.0);
  EXPECT_EQ(cpu.unit(), "C");
  EXPECT_EQ(&cpu.sensorClass(), &ZORSMCTemperatureSensor::classObject());
  EXPECT_EQ(sensors.front()->rawValue(), 52);
  EXPECT_EQ(sensors.front()->value(), 52.0);
}

TEST_F(ZORSMCTemperatureSensorTest, DiscoveryNamesKeysByTheMachinesModel) {
  struct Case {
    const char* model;
    std::vector<std::string> locations;
  };
  const Case cases[] = {
      {"MacBookPro5,1", {"SMC BATTERY CHARGER PROXIMITY", "SMC DRIVE BAY 2"}},
      {"MacPro5,1", {"SMC DRIVE BAY 1", "SMC MEMORY MODULE SLOT 5"}},
      {"Xserve3,1", {"SMC MEMORY BANK A POS 0", "SMC MEMORY MODULE A0", "SMC DRIVE BAY 1"}},
      {"iMac9,1", {"SMC MEMORY BANK A POS 1", "SMC MEMORY MODULE A1", "SMC DRIVE BAY 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    ASSERT_TRUE(install(testing::profileWithServices(
        {testing::smcService({sp78Key("TM0P", 40.0), sp78Key("TM0S", 41.0), sp78Key("TH1P", 30.0),
                              sp78Key("TMB1", 42.0)})},
        c.model)));
    std::vector<std::string> locations;
    for (const auto& sensor : ZORSMCTemperatureSensor::allSensors()) {
      locations.push_back(sensor->locationIdentifier());
    }
    EXPECT_EQ(locations, c.locations);
    ZORSystemManagementController::forgetSharedSystemManagementController();
  }
}

TEST_F(ZORSMCTemperatureSensorTest, NoSMCNoSensors) {
  ASSERT_TRUE(install(testing::profileWithServices({})));
  EXPECT_TRUE(ZORSMCTemperatureSensor::allSensors().empty());
  EXPECT_EQ(
      ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{{"SMCKey", "TC0D"}}),
      nullptr);
}

TEST_F(ZORSMCTemperatureSensorTest, RejectedSMCGivesNoSensors) {
  ASSERT_TRUE(installKeys({smcKey("TC0D", "sp96", {0x4B, 0x00}), sp78Key("TB0T", 31.0)}));
  ScopedLogCapture log;
  EXPECT_TRUE(ZORSMCTemperatureSensor::allSensors().empty());
  EXPECT_EQ(log.lines().size(), 1u);
}

TEST_F(ZORSMCTemperatureSensorTest, CreationNeedsADescriptionAndAPositiveReading) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0), sp78Key("TG0D", 0.0)}));
  EXPECT_EQ(ZORSMCTemperatureSensor::sensorWithSensorDescription(std::nullopt), nullptr);
  EXPECT_EQ(ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{}), nullptr);
  EXPECT_EQ(
      ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{{"SMCKey", "TG0D"}}),
      nullptr);
  EXPECT_EQ(
      ZORSMCTemperatureSensor::sensorWithSensorDescription(PlistDictionary{{"SMCKey", "TX0D"}}),
      nullptr);
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
      {sp78(45.9), 45},
      {sp78(-0.5), 0},
      {sp78(-124.0), -1},
      {sp78(-127.0), -1},
      {sp78(-121.0), -1},
      {sp78(-120.0), -120},
      {sp78(-128.0), -128},
      {sp78(-126.5), -1},
      {sp78(-120.5), -120},
      {sp78(127.99), 127},
      // No longer a number: a byte block.
      {{0x2D}, -1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(driver().setKeyBytes("TC0D", c.bytes));
    clock_.advance(1.5);
    EXPECT_EQ(sensor->rawValue(), c.raw) << int(c.bytes[0]) << " " << int(c.bytes.back());
  }
}

TEST_F(ZORSMCTemperatureSensorTest, ReadingsComeFromTheCacheWithinASecond) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0)}));
  auto sensors = ZORSMCTemperatureSensor::allSensors();
  ASSERT_EQ(sensors.size(), 1u);
  driver().resetCallCounts();
  clock_.advance(0.4);
  EXPECT_EQ(sensors[0]->rawValue(), 40);
  EXPECT_EQ(driver().totalCallCount(), 0u);
  ASSERT_TRUE(driver().setKeyBytes("TC0D", sp78(41.0)));
  clock_.advance(0.7);
  EXPECT_EQ(sensors[0]->rawValue(), 41);
  EXPECT_EQ(driver().totalCallCount(), 2u);
}

TEST_F(ZORSMCTemperatureSensorTest, FailingReadIsNoReading) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0)}));
  auto sensors = ZORSMCTemperatureSensor::allSensors();
  ASSERT_EQ(sensors.size(), 1u);
  SimulatedMachine::install(nullptr);  // the driver goes away
  clock_.advance(2.0);
  ScopedLogCapture log;
  EXPECT_EQ(sensors[0]->rawValue(), -1);
  EXPECT_EQ(sensors[0]->valueConverter()->valueForRawSensorValue(-1), -1.0);
  SimulatedMachine::install(machine_);
}

TEST_F(ZORSMCTemperatureSensorTest, RegistersAndIsFoundThroughTheSensorModel) {
  installDiscoveryMachine();
  ScopedSensorClassRegistry registry;
  ZORSMCTemperatureSensor::load();
  ASSERT_EQ(ZORSensor::knownSensorClasses().size(), 1u);
  EXPECT_EQ(ZORSensor::knownSensorClasses()[0]->name, "ZORSMCTemperatureSensor");
  EXPECT_EQ(keysOf(ZORSensor::allSensors()), (std::vector<std::string>{"TC0D", "TB0T", "Tm0P"}));
}

TEST_F(ZORSMCTemperatureSensorTest, DiscoveryGivesBackEveryReference) {
  installDiscoveryMachine();
  ZORSMCTemperatureSensor::allSensors();
  // Only the shared controller's entry and connection stay.
  EXPECT_EQ(outstanding(), 2);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 1u);
  ZORSystemManagementController::forgetSharedSystemManagementController();
  EXPECT_EQ(outstanding(), 0);
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
  auto smc = ZORSystemManagementController::sharedSystemManagementController();
  ASSERT_NE(smc, nullptr);
  EXPECT_GE(smc->allPropertyKeys().size(), 40u);
  std::vector<std::string> identifiers;
  for (const auto& sensor : sensors) {
    std::string location = sensor->locationIdentifier();
    EXPECT_NE(Bundle::pluginBundle().localizedString(location, location, "SensorLocations"),
              location)
        << location << " has no display name";
    std::int32_t first = sensor->rawValue();
    EXPECT_GT(first, 0) << location;
    identifiers.push_back(sensor->uniqueIdentifier());
  }
  std::sort(identifiers.begin(), identifiers.end());
  EXPECT_EQ(std::adjacent_find(identifiers.begin(), identifiers.end()), identifiers.end())
      << "unique identifiers repeat";
  // The readings move: somewhere within a period the CPU diode changes.
  const auto& cpu = *std::find_if(sensors.begin(), sensors.end(), [](const auto& sensor) {
    return sensor->locationIdentifier() == "SMC CPU A DIODE";
  });
  std::int32_t start = cpu->rawValue();
  bool changed = false;
  for (int step = 0; step < 20 && !changed; ++step) {
    clock_.advance(2.0);
    changed = cpu->rawValue() != start;
  }
  EXPECT_TRUE(changed);
}

INSTANTIATE_TEST_SUITE_P(Machines, SMCDemoMachineTest,
                         ::testing::Values("machines/intel-notebook.plist",
                                           "machines/intel-tower.plist"));

}  // namespace
}  // namespace zor

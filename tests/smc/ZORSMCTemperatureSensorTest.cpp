// The SMC temperature sensors over the simulated SMC: discovery, creation,
// readings with the no-reading marks and references; and both demo machines
// end to end through the location table.

#include "smc/ZORSMCTemperatureSensor.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/Bundle.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
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
    keys.push_back(static_cast<ZORSMCTemperatureSensor&>(*sensor).smcKey().value_or("?"));
  }
  return keys;
}

using ZORSMCTemperatureSensorTest = SMCTest;

TEST_F(ZORSMCTemperatureSensorTest, DiscoveryKeepsKnownPositiveTemperatures) {
  // Left out: not a temperature, reads 0, reads below 0, a byte block, a known
  // group without a sensor, an unknown group. An integer type counts too.
  ASSERT_TRUE(
      installKeys({sp78Key("TC0D", 52.25), smcKey("FNum", "ui8 ", {2}), sp78Key("TB0T", 31.0),
                   sp78Key("TG0D", 0.0), sp78Key("TN0P", -5.0), smcKey("TC1D", "zzzz", {1, 2}),
                   sp78Key("TCTD", 40.0), sp78Key("TZ0P", 40.0), smcKey("Tm0P", "ui8 ", {39})}));
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

TEST_F(ZORSMCTemperatureSensorTest, CreationNeedsAnSMCADescriptionAndAPositiveReading) {
  ASSERT_TRUE(install(testing::profileWithServices({})));
  EXPECT_TRUE(ZORSMCTemperatureSensor::allSensors().empty());
  const PlistDictionary cpu{{"SMCKey", "TC0D"}};
  EXPECT_EQ(ZORSMCTemperatureSensor::sensorWithSensorDescription(cpu), nullptr);
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
  const std::pair<std::vector<std::uint8_t>, std::int32_t> cases[] = {
      {sp78(45.9), 45},     {sp78(-0.5), 0},     {sp78(-127.0), -1},
      {sp78(-121.0), -1},   {sp78(-126.5), -1},  {sp78(-120.5), -120},
      {sp78(-128.0), -128}, {sp78(127.99), 127}, {{0x2D}, -1}};  // a byte block is no number
  for (const auto& [bytes, raw] : cases) {
    ASSERT_TRUE(driver().setKeyBytes("TC0D", bytes));
    clock_.advance(1.5);
    EXPECT_EQ(sensor->rawValue(), raw) << int(bytes[0]) << " " << int(bytes.back());
  }
  // A read that fails once the driver is gone is no reading either.
  Machine::install(nullptr);
  clock_.advance(2.0);
  ScopedLogCapture log;
  EXPECT_EQ(sensor->rawValue(), -1);
  EXPECT_EQ(sensor->valueConverter()->valueForRawSensorValue(-1), -1.0);
  Machine::install(machine_);
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
  std::set<std::string> identifiers;
  std::vector<std::int32_t> first;
  for (const auto& sensor : sensors) {
    std::string location = sensor->locationIdentifier();
    EXPECT_NE(Bundle::pluginBundle().localizedString(location, location, "SensorLocations"),
              location)
        << location << " has no display name";
    EXPECT_GT(sensor->rawValue(), 0) << location;
    first.push_back(sensor->rawValue());
    EXPECT_TRUE(identifiers.insert(sensor->uniqueIdentifier()).second) << "repeated " << location;
  }
  // The readings move: within a period some reading changes.
  bool changed = false;
  for (int step = 0; step < 20 && !changed; ++step) {
    clock_.advance(2.0);
    for (std::size_t i = 0; i < sensors.size(); ++i) changed |= sensors[i]->rawValue() != first[i];
  }
  EXPECT_TRUE(changed);
}

INSTANTIATE_TEST_SUITE_P(Machines, SMCDemoMachineTest,
                         ::testing::Values("machines/intel-notebook.plist",
                                           "machines/intel-tower.plist"));

}  // namespace
}  // namespace zor

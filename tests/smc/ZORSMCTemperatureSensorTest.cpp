// The SMC temperature sensors over the simulated SMC: the key catalogue,
// discovery, readings with the no-reading marks and references; and both
// demo machines end to end through the location table.

#include "smc/ZORSMCTemperatureSensor.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "platform/Bundle.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "smc/ZORSMCKeyCatalogue.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using testing::smcKey;
using testing::SMCTest;
using testing::sp78;
using testing::sp78Key;

// Per model code ("": none), rows "KEY LOCATION" or just "KEY" for no sensor.
// Only the listed groups exist and the case of G counts.
TEST(ZORSMCKeyCatalogueTest, EveryRow) {
  const std::pair<const char*, const char*> cases[] = {
      {"",
       "TA0P SMC AMBIENT AIR; TA1P SMC AMBIENT AIR POSITION 2; TA3S SMC PCI SLOT 2 POS 2; TA0D; "
       "TB0T SMC BATTERY; TB2T SMC BATTERY POSITION 3; TC0D SMC CPU A DIODE; "
       "TCTH SMC CPU T HEAT SINK; TCGP SMC CPU G PROXIMITY; TC0F; Te5S SMC RAID CARD; "
       "TeES SMC RAID CARD; Te1S SMC PCIE SLOT 1; TGXD SMC GPU DIODE; TG0H SMC GPU 1 HEAT SINK; "
       "TG1P SMC GPU 2 CHIP; TH1P SMC DRIVE BAY 2; Th8H SMC MAIN HEAT SINK 9; "
       "Th9H SMC MAIN HEAT SINK 9; Th0P SMC CPU A PROXIMITY; Th1P; TM0S SMC MEMORY MODULE A1; "
       "TN0C SMC NORTHBRIDGE CORE; TN1C; TN0D SMB NORTHBRIDGE CHIP DIE; "
       "TN1P SMC NORTHBRIDGE POS 2; Tp0C SMC POWER SUPPLY SENSOR 1; TpAP; "
       "Tp2H SMC SECONDARY HEATSINK; Tp3H SMC PRIMARY HEATSINK; Tp4H; Ts0P SMC LEFT PALM REST; "
       "Ts1P SMC RIGHT PALM REST; Ts2P; Ta0P; TZ0P; FC0D; TC0; TC0DX;"},
      {"MacBookPro5,1",
       "TCTD; TH0P SMC DRIVE BAY 1; TM0P SMC BATTERY CHARGER PROXIMITY; "
       "TM1P SMC MEMORY OUTGOING AIR; TM2P SMC VOLTAGE REGULATOR AREA; TM3P; TM0S;"},
      {"MacPro4,1", "TH0P SMC DRIVE BAY 0; TMA4 SMC MEMORY MODULE SLOT 4;"},
      {"MacPro5,1", "TH1P SMC DRIVE BAY 1; TMB1 SMC MEMORY MODULE SLOT 5; TM0S;"},
      {"Xserve3,1", "TH1P SMC DRIVE BAY 1; TM9P SMC MEMORY BANK B POS 1;"},
      {"iMac9,1", "TMAS SMC MEMORY MODULE B3; TM7P SMC MEMORY BANK A POS 8; TMaS; TMGS; TMA1;"}};
  for (const auto& [model, rows] : cases) {
    std::istringstream table(rows);
    for (std::string row; std::getline(table >> std::ws, row, ';');) {
      const std::string key = row.substr(0, row.find(' '));
      const auto location = key.size() < row.size() ? std::optional(row.substr(5)) : std::nullopt;
      auto code = *model ? std::optional<std::string>(model) : std::nullopt;
      EXPECT_EQ(ZORSMCKeyCatalogue::locationIdentifierForKey(key, code), location)
          << key << " on " << model;
    }
  }
}

std::vector<std::string> locationsOf(const std::vector<std::shared_ptr<ZORSensor>>& sensors) {
  std::vector<std::string> locations;
  for (const auto& sensor : sensors) locations.push_back(sensor->locationIdentifier());
  return locations;
}

using ZORSMCTemperatureSensorTest = SMCTest;

TEST_F(ZORSMCTemperatureSensorTest, DiscoveryKeepsKnownPositiveTemperatures) {
  ASSERT_TRUE(install(testing::profileWithServices({})));
  EXPECT_TRUE(ZORSMCTemperatureSensor::allSensors().empty());
  // Left out: not a temperature, reads 0, reads below 0, a byte block, a known
  // group without a sensor, an unknown group. An integer type counts too.
  ASSERT_TRUE(
      installKeys({sp78Key("TC0D", 52.25), smcKey("FNum", "ui8 ", {2}), sp78Key("TB0T", 31.0),
                   sp78Key("TG0D", 0.0), sp78Key("TN0P", -5.0), smcKey("TC1D", "zzzz", {1, 2}),
                   sp78Key("TCTD", 40.0), sp78Key("TZ0P", 40.0), smcKey("Tm0P", "ui8 ", {39})}));
  auto sensors = ZORSMCTemperatureSensor::allSensors();
  EXPECT_EQ(locationsOf(sensors),
            (std::vector<std::string>{"SMC CPU A DIODE", "SMC BATTERY", "SMC MAIN LOGIC BOARD"}));
  ASSERT_FALSE(sensors.empty());
  EXPECT_EQ(sensors.front()->uniqueIdentifier(), "smc.temperature.DF3");
  EXPECT_EQ(sensors.front()->rawValue(), 52);
  // Only the shared controller's entry and connection stay referenced.
  sensors.clear();
  EXPECT_EQ(outstanding(), 2);
  ZORSystemManagementController::forgetSharedSystemManagementController();
  EXPECT_EQ(outstanding(), 0);
  // Keys are named by the machine's model: without it, TM0S would be a memory
  // module, TH1P drive bay 2 and TMB1 nothing.
  ASSERT_TRUE(install(testing::profileWithServices(
      {testing::smcService({sp78Key("TM0S", 41.0), sp78Key("TH1P", 30.0), sp78Key("TMB1", 42.0)})},
      "MacPro5,1")));
  EXPECT_EQ(locationsOf(ZORSMCTemperatureSensor::allSensors()),
            (std::vector<std::string>{"SMC DRIVE BAY 1", "SMC MEMORY MODULE SLOT 5"}));
}

TEST_F(ZORSMCTemperatureSensorTest, RawValueTruncatesAndMarksMissingReadings) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0)}));
  auto sensor = ZORSMCTemperatureSensor::sensorWithSensorDescription(
      ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(std::string("TC0D"), std::nullopt));
  ASSERT_NE(sensor, nullptr);
  const std::pair<std::vector<std::uint8_t>, std::int32_t> cases[] = {
      {sp78(45.9), 45},     {sp78(-0.5), 0},      {sp78(-127.0), -1}, {sp78(-121.0), -1},
      {sp78(-128.0), -128}, {sp78(-120.5), -120}, {{0x2D}, -1}};  // a byte block is no number
  for (const auto& [bytes, raw] : cases) {
    ASSERT_TRUE(driver().setKeyBytes("TC0D", bytes));
    clock_.advance(1.5);
    EXPECT_EQ(sensor->rawValue(), raw) << int(bytes[0]) << " " << int(bytes.back());
  }
}

// Both demo machines: every SMC temperature has a reading, a distinct
// identifier and a location the display table names.
TEST_F(ZORSMCTemperatureSensorTest, DemoMachinesAreNamedAndRead) {
  for (const char* file : {"machines/intel-notebook.plist", "machines/intel-tower.plist"}) {
    SCOPED_TRACE(file);
    std::string error;
    auto profile = parsePropertyList(std::string(embedded::find(file).value_or("")), &error);
    ASSERT_TRUE(profile && install(*profile)) << error;
    ZORSystemManagementController::forgetSharedSystemManagementController();
    auto sensors = ZORSMCTemperatureSensor::allSensors();
    EXPECT_GE(sensors.size(), 15u);
    std::set<std::string> identifiers;
    for (const auto& sensor : sensors) {
      std::string location = sensor->locationIdentifier();
      EXPECT_NE(Bundle::pluginBundle().localizedString(location, location, "SensorLocations"),
                location);
      EXPECT_GT(sensor->rawValue(), 0) << location;
      EXPECT_TRUE(identifiers.insert(sensor->uniqueIdentifier()).second) << location;
    }
  }
}

}  // namespace
}  // namespace zor

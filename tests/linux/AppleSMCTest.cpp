// The SMC of an Intel Mac running Linux, read from recorded applesmc trees:
// the SMC family must name, identify and read each key exactly as it does
// on the simulated machine of the same model holding the same keys.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>
#include <vector>

#include "hwmon/ZORHwmonSensor.h"
#include "platform/MachineEntry.h"
#include "platform/SystemLog.h"
#include "platform/linux/AppleSMCDriverBehaviour.h"
#include "platform/linux/AppleSMCEntries.h"
#include "platform/linux/AppleSMCKeyChannel.h"
#include "platform/linux/LinuxMachine.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "smc/ZORSMCTemperatureSensor.h"
#include "tests/linux/RecordedTrees.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using linuxfs::AppleSMCEntries;
using linuxfs::AppleSMCKeyChannel;
using linuxfs::LinuxRoot;

// Key, location, unique identifier and reading of every SMC sensor, sorted.
std::vector<std::string> readings() {
  std::vector<std::string> list;
  for (const auto& sensor : ZORSMCTemperatureSensor::allSensors()) {
    auto* smc = dynamic_cast<ZORSMCTemperatureSensor*>(sensor.get());
    list.push_back(smc->smcKey().value_or("?") + " " + sensor->locationIdentifier() + " " +
                   sensor->uniqueIdentifier() + " " + std::to_string(sensor->rawValue()));
  }
  std::sort(list.begin(), list.end());
  return list;
}

// The machine the Linux builder makes of a recorded tree (the SMC entry beside
// the hwmon channels, the model code from DMI), or of a copy tests may change.
class AppleSMCTest : public testing::SMCTest {
 protected:
  bool installLinux(const std::string& dir) {
    return install(PlistValue(linuxfs::LinuxMachine::profile(LinuxRoot(dir))));
  }
};

// The demo machine's SMC keys (without their live curves) and model.
PlistValue demoSMCProfile(const char* path, const std::string& model) {
  const PlistValue smc = linuxtest::demoEntry(path, [](const PlistValue& entry) {
    const PlistValue* simulation = entry.find("ZORSimulation");
    return simulation && simulation->find("SMCKeys");
  });
  return testing::profileWithServices(
      {testing::smcService(*smc.find("ZORSimulation")->find("SMCKeys")->asArray())}, model);
}

// Each key reads as on the simulated machine of the model holding the same
// keys, and shows once: by the SMC family when it names it, else as a generic
// channel; the fans stay generic channels.
TEST_F(AppleSMCTest, KeysReadAsOnTheSimulatedMachineOfTheModelAndShowOnce) {
  const std::tuple<const char*, const char*, const char*, const char*, std::size_t> cases[] = {
      {"applesmc-macbookpro5-1", "machines/intel-notebook.plist", "MacBookPro5,1",
       "TC0D SMC CPU A DIODE smc.temperature.DF3 52", 2},
      {"applesmc-macpro5-1", "machines/intel-tower.plist", "MacPro5,1",
       "TCAD SMC CPU A DIODE smc.temperature.DFD 48", 6},
  };
  for (const auto& [tree, profile, model, sample, fans] : cases) {
    SCOPED_TRACE(tree);
    ScopedLogCapture log;
    ASSERT_TRUE(installLinux(linuxtest::recordedTree(tree)));
    const std::vector<std::string> live = readings();
    auto keys =
        ZORSystemManagementController::sharedSystemManagementController()->allPropertyKeys();
    std::multiset<std::string> served, shown;
    for (const std::string& key : keys) served.insert(ZORSensor::hardwareIdentityOfSMCKey(key));
    std::size_t fansShown = 0;
    {
      ScopedSensorClassRegistry registry;
      ZORSMCTemperatureSensor::load();
      ZORHwmonSensor::load();
      for (const auto& sensor : ZORSensor::allSensors()) {
        if (sensor->quantityType() == 1) shown.insert(sensor->hardwareIdentity());
        fansShown += sensor->quantityType() == 6;
      }
    }
    SMCTest::TearDown();
    EXPECT_EQ(std::pair(shown, fansShown), std::pair(served, fans));

    ASSERT_TRUE(install(demoSMCProfile(profile, model)));
    std::vector<std::string> simulated = readings();
    std::erase_if(simulated, [&](const std::string& reading) {
      return std::find(keys.begin(), keys.end(), reading.substr(0, 4)) == keys.end();
    });
    EXPECT_EQ(live, simulated);
    EXPECT_NE(std::find(live.begin(), live.end(), sample), live.end());
    SMCTest::TearDown();
  }
}

// The channel's print as TC0D reads it (the SMC family's cache keeps a reading
// a second: its tests); a key that reads nothing is replayed as one that fails.
TEST_F(AppleSMCTest, AReadingIsTheChannelsPrintAndAFailedOneIsNoReading) {
  linuxtest::ScratchTree tree("applesmc-macbookpro5-1");
  ASSERT_TRUE(installLinux(tree.path()));
  auto sensor = ZORSMCTemperatureSensor::sensorWithSensorDescription(
      ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(std::string("TC0D")));
  ASSERT_NE(sensor, nullptr);
  const std::pair<const char*, std::int32_t> steps[] = {
      {"61750\n", 61}, {"garbage\n", -1}, {"-3000\n", -3}, {"", -1}, {"EIO\n", -1}};
  for (const auto& [text, raw] : steps) {
    std::ofstream(tree / "sys/devices/platform/applesmc.768/temp4_input") << text;  // TC0D
    clock_.advance(1.1);
    ScopedLogCapture log;
    EXPECT_EQ(sensor->rawValue(), raw) << text;
  }
  MachineEntry& smc = *machine_->registry().findEntryNamed("SMC");
  EXPECT_EQ(
      dynamic_cast<AppleSMCDriverBehaviour&>(smc.behaviour()).recordedSettings(smc)["SMCFailKeys"],
      PlistValue(PlistArray{"TC0D"}));
}

TEST(AppleSMCKeyChannelTest, ReadingsTurnBackIntoTheKeysBytes) {
  // The driver prints byte0 * 1000 + (byte1 >> 6) * 250 without a sign.
  const std::pair<std::int64_t, std::optional<std::array<std::uint8_t, 2>>> cases[] = {
      {52250, {{0x34, 0x40}}},   {255750, {{0xFF, 0xC0}}}, {-5000, {{0xFB, 0x00}}},
      {-128000, {{0x80, 0x00}}}, {255751, std::nullopt},   {-128001, std::nullopt},
  };
  for (const auto& [millidegrees, bytes] : cases) {
    EXPECT_EQ(AppleSMCKeyChannel::sp78ForMillidegrees(millidegrees), bytes) << millidegrees;
  }
}

TEST(AppleSMCEntriesTest, OnlyABoundDriverWithKeyChannelsMakesAnEntry) {
  // Files of the driver's folder as "file=contents", and the keys its entry serves.
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"name=applesmc", "fan1_input=1200"}, {}},
      // Labels that are no key, a key twice, a label without an input; in channel order.
      {{"temp1_label=TC0D", "temp1_input=40000", "temp2_label=TOO LONG", "temp2_input=1",
        "temp3_label=TC0D", "temp3_input=1", "temp10_label=TA0P", "temp10_input=1",
        "temp4_label=TB0T"},
       {"TC0D", "TA0P"}},
      {{"hwmon/hwmon3/temp1_label=Th1H", "hwmon/hwmon3/temp1_input=1"}, {"Th1H"}},
  };
  for (const auto& [files, expected] : cases) {
    linuxtest::ScratchTree scratch;
    const std::string folder = "/sys/devices/platform/applesmc.768/";
    scratch.write(folder + "uevent", "");
    for (const std::string& file : files) {
      scratch.write(folder + file.substr(0, file.find('=')), file.substr(file.find('=') + 1));
    }
    PlistArray services;
    AppleSMCEntries::append(LinuxRoot(scratch.path()), &services);
    std::vector<std::string> keys;
    for (const PlistValue& service : services) {
      for (const PlistValue& key :
           *service.find("ZORSimulation")->find("AppleSMCHwmon")->find("Keys")->asArray()) {
        keys.push_back(*key.find("Key")->asString());
      }
    }
    EXPECT_EQ(keys, expected);
  }
}

}  // namespace
}  // namespace zor

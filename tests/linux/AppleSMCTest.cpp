// The SMC of an Intel Mac running Linux, read from recorded applesmc trees:
// the SMC family must name, identify and read each key exactly as it does
// on the simulated machine of the same model holding the same keys.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

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

namespace fs = std::filesystem;
using linuxfs::AppleSMCEntries;
using linuxfs::AppleSMCKeyChannel;
using linuxfs::LinuxRoot;

using Reading = std::tuple<std::string, std::string, std::string, std::int32_t>;

// Key, location, unique identifier and reading of every SMC sensor, by key.
std::vector<Reading> readings() {
  std::vector<Reading> list;
  for (const auto& sensor : ZORSMCTemperatureSensor::allSensors()) {
    auto* smc = dynamic_cast<ZORSMCTemperatureSensor*>(sensor.get());
    list.emplace_back(smc->smcKey().value_or("?"), sensor->locationIdentifier(),
                      sensor->uniqueIdentifier(), sensor->rawValue());
  }
  std::sort(list.begin(), list.end());
  return list;
}

// A recorded tree copied to a scratch folder, so tests may change readings.
class AppleSMCTest : public testing::SMCTest {
 protected:
  LinuxRoot copyTree(const std::string& name) {
    scratch_ = std::make_unique<linuxtest::ScratchTree>(name);
    return LinuxRoot(scratch_->path());
  }
  // The machine the Linux builder makes of the tree: the SMC entry beside the
  // hwmon channels, the model code from DMI.
  bool installLinux(const LinuxRoot& root) {
    return install(PlistValue(linuxfs::LinuxMachine::profile(root)));
  }
  AppleSMCDriverBehaviour& liveDriver() {
    return dynamic_cast<AppleSMCDriverBehaviour&>(
        machine_->registry().findEntryNamed("SMC")->behaviour());
  }
  // Rewrites the reading of `key` in the scratch tree.
  void writeReading(const std::string& key, const std::string& text) {
    const fs::path device = *scratch_ / "sys/devices/platform/applesmc.768";
    for (int n = 1; fs::exists(device / ("temp" + std::to_string(n) + "_label")); ++n) {
      std::string label;
      std::ifstream(device / ("temp" + std::to_string(n) + "_label")) >> label;
      if (label == key) std::ofstream(device / ("temp" + std::to_string(n) + "_input")) << text;
    }
  }

  std::unique_ptr<linuxtest::ScratchTree> scratch_;
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
  struct Case {
    const char* tree;
    const char* profile;
    const char* model;
    Reading sample;  // one row to see the comparison is about something
    std::size_t sensors, fans;
  };
  const Case cases[] = {
      {"applesmc-macbookpro5-1",
       "machines/intel-notebook.plist",
       "MacBookPro5,1",
       {"TC0D", "SMC CPU A DIODE", "smc.temperature.DF3", 52},
       10,
       2},
      {"applesmc-macpro5-1",
       "machines/intel-tower.plist",
       "MacPro5,1",
       {"TCAD", "SMC CPU A DIODE", "smc.temperature.DFD", 48},
       11,
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tree);
    ScopedLogCapture log;
    ASSERT_TRUE(installLinux(LinuxRoot(linuxtest::recordedTree(c.tree))));
    std::vector<Reading> live = readings();
    auto keys =
        ZORSystemManagementController::sharedSystemManagementController()->allPropertyKeys();
    std::set<std::string> served, smc, generic;
    for (const std::string& key : keys) served.insert(ZORSensor::hardwareIdentityOfSMCKey(key));
    std::size_t fans = 0;
    {
      ScopedSensorClassRegistry registry;
      ZORSMCTemperatureSensor::load();
      ZORHwmonSensor::load();
      for (const auto& sensor : ZORSensor::allSensors()) {
        bool isSMC = &sensor->sensorClass() == &ZORSMCTemperatureSensor::classObject();
        if (sensor->quantityType() == 6) ++fans;
        if (sensor->quantityType() == 1) (isSMC ? smc : generic).insert(sensor->hardwareIdentity());
      }
    }
    SMCTest::TearDown();
    std::set<std::string> both(smc.begin(), smc.end());
    both.insert(generic.begin(), generic.end());
    EXPECT_EQ(both, served);
    EXPECT_EQ(smc.size() + generic.size(), served.size());
    EXPECT_FALSE(smc.empty() || generic.empty());
    EXPECT_EQ(fans, c.fans);

    ASSERT_TRUE(install(demoSMCProfile(c.profile, c.model)));
    std::vector<Reading> simulated;
    for (const Reading& reading : readings()) {
      if (std::find(keys.begin(), keys.end(), std::get<0>(reading)) != keys.end()) {
        simulated.push_back(reading);
      }
    }
    EXPECT_EQ(live, simulated);
    EXPECT_EQ(live.size(), c.sensors);
    EXPECT_NE(std::find(live.begin(), live.end(), c.sample), live.end());
    EXPECT_TRUE(std::none_of(keys.begin(), keys.end(), [](auto& k) { return k[0] == 'F'; }));
    SMCTest::TearDown();
  }
}

TEST_F(AppleSMCTest, AReadingIsOneReadASecondAndAFailedOneIsNoReading) {
  ASSERT_TRUE(installLinux(copyTree("applesmc-macbookpro5-1")));
  auto sensor = ZORSMCTemperatureSensor::sensorWithSensorDescription(
      ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(std::string("TC0D")));
  ASSERT_NE(sensor, nullptr);
  const std::uint64_t reads = liveDriver().callCount(5);
  struct Step {
    const char* text;  // written to TC0D's channel before the step, or null
    double advance;
    std::int32_t raw;
    std::uint64_t readsSince;
  };
  const Step steps[] = {
      {"61750\n", 0.2, 52, 0},    // within the second: the cached reading
      {nullptr, 1.0, 61, 1},      // then the channel again
      {"garbage\n", 1.1, -1, 2},  // no number is no reading
      {"", 1.1, -1, 3},           // nor is an empty file
      {"-3000\n", 1.1, -3, 4},    // a signed print stays signed
  };
  for (const Step& step : steps) {
    if (step.text != nullptr) writeReading("TC0D", step.text);
    clock_.advance(step.advance);
    ScopedLogCapture log;
    EXPECT_EQ(sensor->rawValue(), step.raw) << (step.text ? step.text : "");
    EXPECT_EQ(liveDriver().callCount(5) - reads, step.readsSince);
  }
  // A dump replays a key that reads nothing now as one that fails.
  writeReading("TC0D", "EIO\n");
  clock_.advance(1.1);
  ScopedLogCapture log;
  EXPECT_EQ(sensor->rawValue(), -1);
  PlistDictionary recorded =
      liveDriver().recordedSettings(*machine_->registry().findEntryNamed("SMC"));
  EXPECT_EQ(recorded["SMCFailKeys"], PlistValue(PlistArray{"TC0D"}));
}

TEST(AppleSMCKeyChannelTest, ReadingsTurnBackIntoTheKeysBytes) {
  struct Case {
    std::int64_t millidegrees;
    std::optional<std::array<std::uint8_t, 2>> bytes;
  };
  // The driver prints byte0 * 1000 + (byte1 >> 6) * 250 without a sign.
  const Case cases[] = {
      {52000, {{0x34, 0x00}}}, {52250, {{0x34, 0x40}}},   {49500, {{0x31, 0x80}}},
      {0, {{0x00, 0x00}}},     {251000, {{0xFB, 0x00}}},  {255750, {{0xFF, 0xC0}}},
      {-5000, {{0xFB, 0x00}}}, {-128000, {{0x80, 0x00}}}, {255751, std::nullopt},
      {-128001, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AppleSMCKeyChannel::sp78ForMillidegrees(c.millidegrees), c.bytes) << c.millidegrees;
  }
}

TEST(AppleSMCEntriesTest, OnlyABoundDriverWithKeyChannelsMakesAnEntry) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {{}, {}},
      {{{"name", "applesmc"}, {"fan1_input", "1200"}}, {}},
      // Labels that are no key, a key twice, a label without an input; in channel order.
      {{{"temp1_label", "TC0D"},
        {"temp1_input", "40000"},
        {"temp2_label", "TOO LONG"},
        {"temp2_input", "1"},
        {"temp3_label", "TC0D"},
        {"temp3_input", "1"},
        {"temp10_label", "TA0P"},
        {"temp10_input", "1"},
        {"temp4_label", "TB0T"}},
       {"TC0D", "TA0P"}},
      {{{"hwmon/hwmon3/temp1_label", "Th1H"}, {"hwmon/hwmon3/temp1_input", "1"}}, {"Th1H"}},
  };
  for (const Case& c : cases) {
    linuxtest::ScratchTree scratch;
    scratch.write("/sys/devices/platform/applesmc.768/uevent", "");
    for (const auto& [file, text] : c.files) {
      scratch.write("/sys/devices/platform/applesmc.768/" + file, text + "\n");
    }
    PlistArray services;
    AppleSMCEntries::append(LinuxRoot(scratch.path()), &services);
    std::vector<std::string> keys;
    for (const PlistValue& service : services) {
      EXPECT_EQ(*service.find("IOObjectClass"), PlistValue("AppleSMC"));
      EXPECT_NE(service.find("smc-version"), nullptr);
      for (const PlistValue& key :
           *service.find("ZORSimulation")->find("AppleSMCHwmon")->find("Keys")->asArray()) {
        keys.push_back(*key.find("Key")->asString());
      }
    }
    EXPECT_EQ(keys, c.keys);
  }
}

}  // namespace
}  // namespace zor

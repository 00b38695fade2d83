// zor-sensors --dump-profile: the machine written out replays as the same
// machine, and without --keep-identity no serial number or UUID leaves it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/MachineProfileRecorder.h"
#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "platform/linux/LinuxMachine.h"
#include "platform/simulated/SimulatedMachine.h"
#include "system/ZORMachineInfo.h"
#include "tests/linux/RecordedTrees.h"

namespace zor {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

struct Described {
  std::string description;
  std::string serial;
  std::string uuid;
};

Described describe(std::shared_ptr<Machine> machine) {
  ScopedMachine installed(std::move(machine));
  auto info = ZORMachineInfo::sharedMachineInfo();
  return {info->description(), info->machineSerialNumber(), info->machineUUID()};
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

struct DumpCase {
  const char* tree;
  bool keepIdentity;
  // Texts of the tree that name the machine, beside the serial and UUID the
  // machine description makes of them.
  std::vector<std::string> identity;
};

class DumpAndReplayTest : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DumpAndReplayTest, ReplaysTheSameMachine) {
  const DumpCase& c = GetParam();
  std::string error;
  auto live = linuxfs::LinuxMachine::build(linuxfs::LinuxRoot(recordedTree(c.tree)), &error);
  ASSERT_TRUE(live) << error;
  ScratchTree scratch;
  const std::string file = scratch.path() + "/machine.plist";
  ASSERT_TRUE(MachineProfileRecorder::write(*live, c.keepIdentity, file, &error)) << error;
  auto replayed = SimulatedMachine::load(file, &error);
  ASSERT_TRUE(replayed) << error;

  const Described original = describe(live);
  std::string expected = original.description;
  const std::string bytes = readWholeFile(file).value_or("");
  if (!c.keepIdentity) {
    std::vector<std::string> identity = c.identity;
    identity.push_back(original.serial);
    identity.push_back(original.uuid);
    for (const std::string& text : identity) {
      EXPECT_EQ(bytes.find(text), std::string::npos) << text;
      expected = replaceAll(expected, text, "");
    }
  }
  std::string got = describe(replayed).description;
  if (!c.keepIdentity) {
    got = replaceAll(got, ProfileIdentityPlaceholders::kSerialPlaceholder, "");
    got = replaceAll(got, ProfileIdentityPlaceholders::kUUIDPlaceholder, "");
  }
  EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, DumpAndReplayTest,
    ::testing::Values(DumpCase{"info-desktop", true, {}},
                      DumpCase{"info-desktop", false, {"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5d"}},
                      // Serial and UUID made from the machine id.
                      DumpCase{"info-notebook", false, {"b08dfa6083e7567a1921a715000001fb"}}));

TEST(IdentifyPageTest, LosesSerialAndNameKeepsItsChecksum) {
  // 512 bytes with and without a signature in byte 510, and pages of other sizes.
  const std::pair<std::size_t, bool> pages[] = {
      {512, true}, {512, false}, {100, false}, {0, false}};
  for (const auto& [size, signed_] : pages) {
    SCOPED_TRACE(size);
    PlistData page(size);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 1);
    if (signed_) page[510] = 0xA5;
    const PlistData result = ProfileIdentityPlaceholders::identifyPage(page);
    if (size != 512) {
      EXPECT_EQ(result, page);
      continue;
    }
    std::string serial;
    for (std::size_t i = 20; i < 40; i += 2) serial += {char(result[i + 1]), char(result[i])};
    EXPECT_EQ(serial, std::string(ProfileIdentityPlaceholders::kSerialPlaceholder).substr(0, 20));
    EXPECT_EQ(PlistData(result.begin() + 216, result.begin() + 224), PlistData(8, 0));
    EXPECT_EQ(PlistData(result.begin() + 40, result.begin() + 216),
              PlistData(page.begin() + 40, page.begin() + 216));
    std::uint8_t sum = 0;
    for (std::uint8_t byte : result) sum = static_cast<std::uint8_t>(sum + byte);
    if (signed_) {
      EXPECT_EQ(sum, 0) << "the checksum no longer adds up";
    } else {
      EXPECT_EQ(result[511], page[511]);
    }
  }
}

#ifdef ZOR_SENSORS_PROGRAM

std::string run(const std::string& arguments) {
  return linuxtest::runProgram(ZOR_SENSORS_PROGRAM, arguments).output;
}

// What a listing shows of each sensor, without the readings, which move.
std::vector<std::string> sensorsListed(const std::string& json) {
  std::vector<std::string> sensors;
  const nlohmann::json list = nlohmann::json::parse(json, nullptr, false);
  if (!list.is_array()) return {"not a listing: " + json};
  for (const auto& sensor : list) {
    sensors.push_back(sensor.value("uniqueIdentifier", "") + " " +
                      sensor.value("localizedName", "") + " " +
                      std::to_string(sensor.value("quantityType", -1)));
  }
  return sensors;
}

class RecordedDriversTest : public ::testing::TestWithParam<const char*> {};

// Every simulated driver is written out as the settings that replay it.
TEST_P(RecordedDriversTest, ReplayTheSameSensors) {
  const std::string machine = GetParam() == std::string("demo")
                                  ? "demo"
                                  : std::string(ZOR_SOURCE_DIR) + "/machines/" + GetParam();
  std::string error;
  auto loaded = SimulatedMachine::load(machine, &error);
  ASSERT_TRUE(loaded) << error;
  ScratchTree scratch;
  const std::string file = scratch.path() + "/machine.plist";
  ASSERT_TRUE(MachineProfileRecorder::write(*loaded, true, file, &error)) << error;
  const auto original = sensorsListed(run("--machine '" + machine + "' --json"));
  EXPECT_FALSE(original.empty());
  EXPECT_EQ(sensorsListed(run("--machine '" + file + "' --json")), original);
}

INSTANTIATE_TEST_SUITE_P(Profiles, RecordedDriversTest,
                         ::testing::Values("demo", "intel-tower.plist", "g5-tower.plist",
                                           "mdd-tower.plist", "xserve.plist"));

class DumpedTreeTest : public ::testing::TestWithParam<const char*> {};

// The same listing, readings included: a dumped channel replays its last reading.
TEST_P(DumpedTreeTest, ListsTheSameAsTheTree) {
  ScratchTree scratch;
  const std::string tree = "--machine this --root '" + recordedTree(GetParam()) + "'";
  const std::string file = scratch.path() + "/dump.plist";
  EXPECT_NE(run(tree + " --dump-profile '" + file + "'").find("recorded in"), std::string::npos);
  const std::string live = run(tree + " --json");
  EXPECT_EQ(run("--machine '" + file + "' --json"), live);
  EXPECT_EQ(sensorsListed(live).empty(), GetParam() == std::string("info-desktop")) << live;
}

INSTANTIATE_TEST_SUITE_P(Trees, DumpedTreeTest,
                         ::testing::Values("info-desktop", "desktop-nct6798", "amd-k10temp",
                                           "notebook-acpitz", "nvme-disk", "drivetemp",
                                           "applesmc-macpro5-1"));

#endif

}  // namespace
}  // namespace zor

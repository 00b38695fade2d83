// zor-sensors --dump-profile: every machine written out lists the same
// sensors, and a dumped identify page keeps no serial or model name.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <numeric>

#include "platform/MachineProfileRecorder.h"
#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/PropertyListSerialization.h"
#include "platform/simulated/SimulatedMachine.h"
#include "tests/linux/RecordedTrees.h"

namespace zor {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

// A dumped identify page loses serial and model name and keeps its checksum.
TEST(IdentifyPageTest, LosesSerialAndNameKeepsItsChecksum) {
  // 512 bytes with and without a signature in byte 510, and pages of other sizes.
  for (const auto& [size, signed_] : {std::pair{512, true}, {512, false}, {100, false}}) {
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
    const auto sum = std::accumulate(result.begin(), result.end(), 0u) % 256;
    EXPECT_EQ(signed_ ? sum : result[511], signed_ ? 0u : page[511]) << signed_;
  }
}

#ifdef ZOR_SENSORS_PROGRAM

std::string run(const std::string& arguments) {
  return linuxtest::runProgram(ZOR_SENSORS_PROGRAM, arguments).output;
}

// What a listing shows of each sensor; with `readings`, its reading too.
std::vector<std::string> sensorsListed(const std::string& json, bool readings) {
  std::vector<std::string> sensors;
  for (const auto& sensor : nlohmann::json::parse(json, nullptr, false)) {
    sensors.push_back(sensor.value("uniqueIdentifier", "") + " " +
                      sensor.value("localizedName", "") + " " + sensor["quantityType"].dump() +
                      (readings ? " " + sensor["value"].dump() : ""));
  }
  return sensors;
}

// Every simulated driver and every live one is written out as the settings
// that replay it: the same listing, a dumped channel with its last reading
// (simulated readings move, so only the sensors are compared there).
TEST(DumpedMachineTest, ListsTheSameSensorsAsTheMachine) {
  const char* const machines[] = {
      "demo",         "intel-tower.plist", "g5-tower.plist", "mdd-tower.plist", "xserve.plist",
      "info-desktop", "desktop-nct6798",   "amd-k10temp",    "notebook-acpitz", "nvme-disk",
      "drivetemp",    "applesmc-macpro5-1"};
  for (const std::string name : machines) {
    SCOPED_TRACE(name);
    ScratchTree scratch;
    const std::string file = scratch / "dump.plist";
    const bool live = !name.ends_with(".plist") && name != "demo";
    std::string machine = live ? "this --root '" + recordedTree(name) + "'" : name;
    if (live) {
      EXPECT_NE(run("--machine " + machine + " --dump-profile '" + file + "'").find("recorded in"),
                std::string::npos);
    } else {
      if (name != "demo") machine = std::string(ZOR_SOURCE_DIR) + "/machines/" + name;
      std::string error;
      auto loaded = SimulatedMachine::load(machine, &error);
      ASSERT_TRUE(loaded && MachineProfileRecorder::write(*loaded, true, file, &error)) << error;
    }
    const auto original = sensorsListed(run("--machine " + machine + " --json"), live);
    EXPECT_EQ(sensorsListed(run("--machine '" + file + "' --json"), live), original);
    EXPECT_EQ(original.empty(), name == "info-desktop");
  }
}

#endif

}  // namespace
}  // namespace zor

// zor-sensors --dump-profile: every machine written out lists the same
// sensors, and a dumped identify page keeps no serial or model name.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <numeric>

#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/PropertyListSerialization.h"
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

// What a listing shows of each sensor.
std::vector<std::string> sensorsListed(const std::string& json) {
  std::vector<std::string> sensors;
  for (const auto& sensor : nlohmann::json::parse(json, nullptr, false)) {
    sensors.push_back(sensor.value("uniqueIdentifier", "") + " " +
                      sensor.value("localizedName", "") + " " + sensor["quantityType"].dump() +
                      " " + sensor["value"].dump());
  }
  return sensors;
}

// Every live driver is written out as the settings that replay it: the same
// listing, each dumped channel with its last reading.
TEST(DumpedMachineTest, ListsTheSameSensorsAsTheMachine) {
  for (const char* tree : {"desktop-nct6798", "amd-k10temp", "notebook-acpitz", "nvme-disk",
                           "drivetemp", "applesmc-macpro5-1"}) {
    SCOPED_TRACE(tree);
    ScratchTree scratch;
    const std::string file = scratch / "dump.plist";
    const std::string machine = "--machine this --root '" + recordedTree(tree) + "'";
    EXPECT_NE(run(machine + " --dump-profile '" + file + "'").find("recorded in"),
              std::string::npos);
    const auto original = sensorsListed(run(machine + " --json"));
    EXPECT_FALSE(original.empty());
    EXPECT_EQ(sensorsListed(run("--machine '" + file + "' --json")), original);
  }
}

#endif

}  // namespace
}  // namespace zor

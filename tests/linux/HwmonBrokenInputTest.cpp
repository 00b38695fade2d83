// Broken chips and files: the channel shows no reading or is left out, the
// rest of the machine is listed, and the log says once what was skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "tests/linux/HwmonTestMachine.h"

namespace zor::testing {
namespace {

constexpr const char* kCore = "hwmon.platform/coretemp.0.coretemp.temp2";
constexpr const char* kCoreFolder = "sys/devices/platform/coretemp.0/hwmon/hwmon2/";
constexpr std::size_t kAll = 7;  // sensors of the intact notebook

void write(const std::string& path, const std::string& bytes) {
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << bytes;
}

// A file of the first core's channel in `tree`.
std::string coreFile(const ScratchTree& tree, const char* file) {
  return tree / (std::string(kCoreFolder) + file);
}

struct Broken {
  const char* what;
  void (*breakTree)(const ScratchTree& tree);
  bool afterScan;      // broken between discovery and the first reading
  bool listed;         // the core is still listed
  const char* name;    // its name then, or null when unchanged ("CPU Core 1")
  std::size_t count;   // sensors listed
  const char* logged;  // what the log says, once
};

const Broken kBroken[] = {
    {"chip gone before the first reading",
     [](const ScratchTree& t) { std::filesystem::remove(coreFile(t, "temp2_input")); }, true, true,
     nullptr, kAll, "temp2_input: No such file or directory"},
    {"input fails with EIO",
     [](const ScratchTree& t) {
       std::filesystem::remove(coreFile(t, "temp2_input"));
       // Reading a process's memory at address 0 fails with EIO, as a busy chip does.
       std::filesystem::create_symlink("/proc/self/mem", coreFile(t, "temp2_input"));
     },
     false, true, nullptr, kAll, "temp2_input: Input/output error"},
    {"garbage", [](const ScratchTree& t) { write(coreFile(t, "temp2_input"), "4x2000\n"); }, false,
     true, nullptr, kAll, "temp2_input: not a number"},
    {"empty", [](const ScratchTree& t) { write(coreFile(t, "temp2_input"), ""); }, false, true,
     nullptr, kAll, "temp2_input: not a number"},
    {"beyond 64 bits",
     [](const ScratchTree& t) { write(coreFile(t, "temp2_input"), "99999999999999999999\n"); },
     false, true, nullptr, kAll, "temp2_input: not a number"},
    {"below absolute zero",
     [](const ScratchTree& t) { write(coreFile(t, "temp2_input"), "-300000\n"); }, false, true,
     nullptr, kAll, "temp2_input: out of range"},
    {"input is a folder",
     [](const ScratchTree& t) {
       std::filesystem::remove(coreFile(t, "temp2_input"));
       std::filesystem::create_directory(coreFile(t, "temp2_input"));
     },
     false, false, nullptr, kAll - 1, "temp2_input: Is a directory"},
    {"label not UTF-8",
     [](const ScratchTree& t) { write(coreFile(t, "temp2_label"), "Core \xC0\xAF\n"); }, false,
     true, "coretemp temp2", kAll, "temp2_label: not UTF-8"},
    {"dangling link",
     [](const ScratchTree& t) {
       std::filesystem::create_symlink("../../devices/platform/gone/hwmon/hwmon9",
                                       t / "sys/class/hwmon/hwmon9");
     },
     false, true, nullptr, kAll, "hwmon9: the link points nowhere"},
    {"chip without a name",
     [](const ScratchTree& t) {
       std::filesystem::remove(
           t / "sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0/hwmon1/name");
     },
     false, true, nullptr, kAll - 2, "hwmon1: no chip name"},
};

class HwmonBrokenInputTest : public HwmonMachineTest {};

TEST_F(HwmonBrokenInputTest, BrokenChannelIsSkippedAndSaidOnce) {
  for (const Broken& row : kBroken) {
    ScratchTree tree("notebook-acpitz");
    log_.clear();
    if (!row.afterScan) row.breakTree(tree);
    install(tree.dir(), [&] {
      if (row.afterScan) row.breakTree(tree);
    });
    listing();
    clock_.advance(5.0);
    auto listed = listing();

    EXPECT_EQ(listed.size(), row.count) << row.what;
    std::size_t withReadings = std::count_if(listed.begin(), listed.end(), [](const auto& sensor) {
      return sensor.first != kCore && !sensor.second["value"].is_null();
    });
    EXPECT_EQ(withReadings, row.count - (row.listed ? 1 : 0)) << row.what << ": the rest read";
    auto core = listed.find(kCore);
    ASSERT_EQ(core != listed.end(), row.listed) << row.what;
    if (row.listed) {
      EXPECT_EQ(core->second["localizedName"], row.name ? row.name : "CPU Core 1") << row.what;
      bool readable = row.name != nullptr || std::string(row.logged).find("hwmon") == 0;
      EXPECT_EQ(core->second["rawValue"] != -1, readable) << row.what;
    }
    std::size_t said = std::count_if(log_.lines().begin(), log_.lines().end(), [&](auto& line) {
      return line.find(row.logged) != std::string::npos;
    });
    EXPECT_EQ(said, 1u) << row.what;
    EXPECT_EQ(log_.lines().size(), 1u) << row.what << ": nothing else is said";
  }
}

TEST_F(HwmonBrokenInputTest, ChannelIsReadAtMostOncePerSecond) {
  ScratchTree tree("notebook-acpitz");
  install(tree.dir());
  auto sensors = ZORHwmonSensor::allSensors();
  auto core = std::find_if(sensors.begin(), sensors.end(),
                           [](const auto& sensor) { return sensor->uniqueIdentifier() == kCore; });
  ASSERT_NE(core, sensors.end());
  EXPECT_EQ((*core)->rawValue(), 51000);
  { std::ofstream(coreFile(tree, "temp2_input"), std::ios::trunc) << "57000\n"; }
  clock_.advance(0.9);
  EXPECT_EQ((*core)->rawValue(), 51000) << "within the second: the last reading";
  clock_.advance(0.1);
  EXPECT_EQ((*core)->rawValue(), 57000) << "a second later: read again";
}

}  // namespace
}  // namespace zor::testing

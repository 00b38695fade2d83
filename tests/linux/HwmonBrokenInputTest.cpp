// Broken chips and files: the channel shows no reading or is left out, the
// rest of the machine is listed, and the log says once what was skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "tests/linux/HwmonTestMachine.h"

namespace zor::testing {
namespace {

constexpr const char* kCore = "hwmon.platform/coretemp.0.coretemp.temp2";
const std::string kCoreFolder = "sys/devices/platform/coretemp.0/hwmon/hwmon2/";
constexpr std::size_t kAll = 7;  // sensors of the intact notebook

// A file of the first core's channel, or a path inside the tree.
std::string fileIn(const ScratchTree& tree, const std::string& file) {
  return tree / (file.find('/') == std::string::npos ? kCoreFolder + file : file);
}

// Removes `file` and puts `change` in its place: nothing (null), a link
// ("@target"), a folder ("/") or a file of these bytes.
void breakFile(const ScratchTree& tree, const char* file, const char* change) {
  const std::string path = fileIn(tree, file);
  std::filesystem::remove(path);
  if (change == nullptr) return;
  if (change[0] == '@') {
    std::filesystem::create_symlink(change + 1, path);
  } else if (std::string(change) == "/") {
    std::filesystem::create_directory(path);
  } else {
    std::ofstream(path, std::ios::binary) << change;
  }
}

struct Broken {
  const char* file;
  const char* change;
  bool afterScan;      // broken between discovery and the first reading
  bool listed;         // the core is still listed
  const char* name;    // its name then, or null when unchanged ("CPU Core 1")
  std::size_t count;   // sensors listed
  const char* logged;  // what the log says, once
};

const Broken kBroken[] = {
    // The chip gone before the first reading.
    {"temp2_input", nullptr, true, true, nullptr, kAll, "temp2_input: No such file or directory"},
    // Reading a process's memory at address 0 fails with EIO, as a busy chip does.
    {"temp2_input", "@/proc/self/mem", false, true, nullptr, kAll,
     "temp2_input: Input/output error"},
    {"temp2_input", "4x2000\n", false, true, nullptr, kAll, "temp2_input: not a number"},
    {"temp2_input", "", false, true, nullptr, kAll, "temp2_input: not a number"},
    {"temp2_input", "99999999999999999999\n", false, true, nullptr, kAll,
     "temp2_input: not a number"},
    {"temp2_input", "-300000\n", false, true, nullptr, kAll, "temp2_input: out of range"},
    {"temp2_input", "/", false, false, nullptr, kAll - 1, "temp2_input: Is a directory"},
    {"temp2_label", "Core \xC0\xAF\n", false, true, "coretemp temp2", kAll,
     "temp2_label: not UTF-8"},
    {"sys/class/hwmon/hwmon9", "@../../devices/platform/gone/hwmon/hwmon9", false, true, nullptr,
     kAll, "hwmon9: the link points nowhere"},
    {"sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0/hwmon1/name", nullptr, false,
     true, nullptr, kAll - 2, "hwmon1: no chip name"},
};

class HwmonBrokenInputTest : public HwmonMachineTest {};

TEST_F(HwmonBrokenInputTest, BrokenChannelIsSkippedAndSaidOnce) {
  for (const Broken& row : kBroken) {
    SCOPED_TRACE(row.logged);  // ASCII: some rows hold bytes that are no UTF-8
    ScratchTree tree("notebook-acpitz");
    log_.clear();
    if (!row.afterScan) breakFile(tree, row.file, row.change);
    install(tree.dir(), [&] {
      if (row.afterScan) breakFile(tree, row.file, row.change);
    });
    listing();
    clock_.advance(5.0);
    auto listed = listing();

    EXPECT_EQ(listed.size(), row.count);
    std::size_t withReadings = std::count_if(listed.begin(), listed.end(), [](const auto& sensor) {
      return sensor.first != kCore && !sensor.second["value"].is_null();
    });
    EXPECT_EQ(withReadings, row.count - (row.listed ? 1 : 0)) << "the rest read";
    auto core = listed.find(kCore);
    ASSERT_EQ(core != listed.end(), row.listed);
    if (row.listed) {
      EXPECT_EQ(core->second["localizedName"], row.name ? row.name : "CPU Core 1");
      bool readable = row.name != nullptr || std::string(row.logged).find("hwmon") == 0;
      EXPECT_EQ(core->second["rawValue"] != -1, readable);
    }
    std::size_t said = std::count_if(log_.lines().begin(), log_.lines().end(), [&](auto& line) {
      return line.find(row.logged) != std::string::npos;
    });
    EXPECT_EQ(said, 1u);
    EXPECT_EQ(log_.lines().size(), 1u) << "nothing else is said";
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
  { std::ofstream(fileIn(tree, "temp2_input"), std::ios::trunc) << "57000\n"; }  // in place
  clock_.advance(0.9);
  EXPECT_EQ((*core)->rawValue(), 51000) << "within the second: the last reading";
  clock_.advance(0.1);
  EXPECT_EQ((*core)->rawValue(), 57000) << "a second later: read again";
}

}  // namespace
}  // namespace zor::testing

// The recorded machines as the widget lists them: every channel with an
// "_input" file and nothing else, named, typed, scaled and identified.

#include <gtest/gtest.h>

#include "tests/linux/HwmonTestMachine.h"

namespace zor::testing {
namespace {

struct Listed {
  const char* tree;
  const char* identifier;  // after "hwmon."
  const char* name;        // as the widget shows it
  int quantityType;
  double value;
  const char* reading;  // without the blanks that align it
};

const Listed kListed[] = {
    // lm-sensors labels win: sensors.d over sensors3.conf, both over the chip's own.
    {"desktop-nct6798", "platform/coretemp.0.coretemp.temp1", "Processor Package", 1, 46.0,
     "46.0\u00B0C"},
    {"desktop-nct6798", "platform/coretemp.0.coretemp.temp2", "CPU Core 1", 1, 44.0, "44.0\u00B0C"},
    {"desktop-nct6798", "platform/nct6775.656.nct6798.in0", "Vcore", 2, 1.032, "1.0320 V"},
    {"desktop-nct6798", "platform/nct6775.656.nct6798.in1", "nct6798 in1", 2, 1.008, "1.0080 V"},
    {"desktop-nct6798", "platform/nct6775.656.nct6798.fan2", "CPU Fan", 6, 1104, "1104 RPM"},
    {"desktop-nct6798", "platform/nct6775.656.nct6798.temp2", "CPU \"Socket\"", 1, 39.5,
     "39.5\u00B0C"},
    {"amd-k10temp", "pci0000:00/0000:00:18.3.k10temp.temp1", "CPU Package", 1, 61.25,
     "61.2\u00B0C"},
    {"amd-k10temp", "pci0000:00/0000:00:18.3.k10temp.temp4", "CPU CCD 2", 1, 52.75, "52.8\u00B0C"},
    {"amd-k10temp", "pci0000:00/0000:00:03.1/0000:0b:00.0.amdgpu.power1", "amdgpu power1", 4, 33.0,
     "33.0 W"},
    {"amd-k10temp", "pci0000:00/0000:00:03.1/0000:0b:00.0.amdgpu.freq1", "sclk", 13, 2505.0,
     "2505 MHz"},
    // Files in the device folder, as drivers before the hwmon class published them.
    {"amd-k10temp", "platform/it87.2608.it8728.fan1", "it8728 fan1", 6, 1310, "1310 RPM"},
    {"notebook-acpitz", "virtual/thermal/thermal_zone0.acpitz.temp2", "acpitz temp2", 1, 27.8,
     "27.8\u00B0C"},
    {"notebook-acpitz", "LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0.BAT0.curr1",
     "BAT0 curr1", 3, 1.231, "1.23 A"},
    {"notebook-acpitz", "platform/coretemp.0.coretemp.temp1", "CPU Package", 1, 52.0,
     "52.0\u00B0C"},
    {"nvme-disk", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0.nvme.temp1", "Composite", 1,
     37.85, "37.9\u00B0C"},
    // One chip name on two disks: the device tells the two apart.
    {"drivetemp", "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0.drivetemp.temp1",
     "drivetemp temp1 (1:0:0:0)", 1, 33.0, "33.0\u00B0C"},
};

// Every channel and nothing more: fan-curve points, limits and alarms are not channels.
const std::pair<const char*, std::size_t> kCounts[] = {
    {"desktop-nct6798", 14}, {"amd-k10temp", 13}, {"notebook-acpitz", 7},
    {"nvme-disk", 3},        {"drivetemp", 2},
};

std::string withoutAlignment(const std::string& reading) {
  std::size_t first = reading.find_first_not_of(' ');
  return first == std::string::npos ? "" : reading.substr(first);
}

class HwmonTreesTest : public HwmonMachineTest {};

TEST_F(HwmonTreesTest, ChannelsAreListedAsTheKernelReportsThem) {
  for (const Listed& row : kListed) {
    install(recordedTree(row.tree));
    auto listed = listing();
    auto it = listed.find(std::string("hwmon.") + row.identifier);
    ASSERT_NE(it, listed.end()) << row.tree << ": " << row.identifier;
    const nlohmann::json& sensor = it->second;
    EXPECT_EQ(sensor["localizedName"], row.name) << row.identifier;
    EXPECT_EQ(sensor["quantityType"], row.quantityType) << row.identifier;
    EXPECT_DOUBLE_EQ(sensor["value"].get<double>(), row.value) << row.identifier;
    EXPECT_EQ(withoutAlignment(sensor["reading"]), row.reading) << row.identifier;
  }
}

TEST_F(HwmonTreesTest, OnlyInputFilesAreChannels) {
  for (const auto& [tree, count] : kCounts) {
    install(recordedTree(tree));
    EXPECT_EQ(listing().size(), count) << tree;
  }
  EXPECT_TRUE(log_.lines().empty()) << log_.lines().front();
}

TEST_F(HwmonTreesTest, RenumberedChipsKeepTheirIdentifiers) {
  install(recordedTree("amd-k10temp"));
  std::map<std::string, std::string> before;
  for (const auto& [identifier, sensor] : listing()) before[identifier] = sensor["localizedName"];

  // The same machine after a boot that loaded the modules in another order.
  ScratchTree copy("amd-k10temp");
  const std::pair<const char*, const char*> kMoves[] = {
      {"pci0000:00/0000:00:18.3/hwmon/hwmon0", "hwmon5"},
      {"pci0000:00/0000:00:03.1/0000:0b:00.0/hwmon/hwmon1", "hwmon0"},
      {"platform/it87.2608/hwmon/hwmon2", "hwmon1"}};
  std::filesystem::remove_all(copy / "sys/class/hwmon");
  std::filesystem::create_directory(copy / "sys/class/hwmon");
  for (const auto& [folder, number] : kMoves) {
    std::filesystem::path old = copy / (std::string("sys/devices/") + folder);
    std::filesystem::path renamed = old.parent_path() / number;
    std::filesystem::rename(old, renamed);
    std::string relative = std::filesystem::relative(renamed, copy / "sys/class/hwmon").string();
    std::filesystem::create_symlink(relative, copy / (std::string("sys/class/hwmon/") + number));
  }
  install(copy.dir());
  std::map<std::string, std::string> after;
  for (const auto& [identifier, sensor] : listing()) after[identifier] = sensor["localizedName"];
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace zor::testing

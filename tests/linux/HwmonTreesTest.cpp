// The recorded machines' hardware-monitor chips as the widget lists them:
// every channel with an "_input" file and nothing else, named (lm-sensors
// "label" statements first), typed, scaled, identified and with the limits
// its chip publishes; broken chips and files; renumbered chips. Each test
// installs a machine made of a tree's chips, with a manual clock and a
// captured log, and checks at its end that every reference was given back.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>

#include "hwmon/ZORHwmonSensor.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/SystemLog.h"
#include "platform/linux/LinuxMachine.h"
#include "platform/linux/SensorsConfigLabels.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/linux/RecordedTrees.h"
#include "widget/PluginController.h"
#include "widget/SensorListing.h"

namespace zor::testing {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

// A listed sensor as "name type value" ("nan": no reading), then " max L" and " crit C".
std::string described(const nlohmann::json& sensor) {
  const nlohmann::json& value = sensor["value"];
  std::ostringstream text;
  text << sensor["localizedName"].get<std::string>() << " " << sensor["quantityType"] << " "
       << (value.is_null() ? std::numeric_limits<double>::quiet_NaN() : value.get<double>());
  if (sensor.contains("limit")) text << " max " << sensor["limit"].get<double>();
  if (sensor.contains("critical")) text << " crit " << sensor["critical"].get<double>();
  return text.str();
}

class HwmonTreesTest : public ::testing::Test {
 protected:
  void SetUp() override { ZORSensor::registerSensorClass(ZORHwmonSensor::classObject()); }
  void TearDown() override { uninstall(); }

  // The Linux machine of `dir`, with `between` changing the tree after the scan.
  void install(const std::string& dir, const std::function<void()>& between = {}) {
    uninstall();
    PlistValue profile(linuxfs::LinuxMachine::profile(linuxfs::LinuxRoot(dir)));
    if (between) between();
    machine_ = Machine::fromProfile(profile, "hwmon test profile", nullptr);
    ASSERT_NE(machine_, nullptr);
    Machine::install(machine_);
  }

  void uninstall() {
    if (!machine_) return;
    EXPECT_EQ(machine_->registry().outstandingReferences(), 0) << "a reference was not given back";
    Machine::install(nullptr);
    machine_.reset();
  }

  // What the widget lists, each sensor described by unique identifier.
  std::map<std::string, std::string> listing() {
    PluginController controller;
    EXPECT_TRUE(controller.init());
    std::map<std::string, std::string> byIdentifier;
    for (const auto& sensor : SensorListing::json(controller)) {
      byIdentifier[sensor["uniqueIdentifier"]] = described(sensor);
    }
    return byIdentifier;
  }
  // Every listed sensor as "identifier: described", a line each.
  std::string listed(const std::string& dir) {
    install(dir);
    std::string text;
    for (const auto& [identifier, sensor] : listing()) text += identifier + ": " + sensor + "\n";
    return text;
  }
  std::string shown(const std::string& identifier) { return listing()["hwmon." + identifier]; }
  std::string describedIn(const std::string& dir, const std::string& identifier) {
    install(dir);
    return shown(identifier);
  }
  ScopedSensorClassRegistry registry_;
  ScopedManualClock clock_{7.0e8};
  ScopedLogCapture log_;
  std::shared_ptr<Machine> machine_;
};

TEST_F(HwmonTreesTest, ChannelsAreListedAsTheKernelReportsThem) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      // lm-sensors labels win: sensors.d over sensors3.conf, both over the chip's own;
      // "_max" is the upper limit and "_crit" the critical one.
      {"desktop-nct6798", "platform/coretemp.0.coretemp.temp1",
       "Processor Package 1 46 max 80 crit 100"},
      {"desktop-nct6798", "platform/nct6775.656.nct6798.in0", "Vcore 2 1.032 max 1.744"},
      {"desktop-nct6798", "platform/nct6775.656.nct6798.fan2", "CPU Fan 6 1104"},
      {"desktop-nct6798", "platform/nct6775.656.nct6798.temp2", "CPU \"Socket\" 1 39.5"},
      {"amd-k10temp", "pci0000:00/0000:00:18.3.k10temp.temp1", "CPU Package 1 61.25"},
      {"amd-k10temp", "pci0000:00/0000:00:03.1/0000:0b:00.0.amdgpu.power1", "amdgpu power1 4 33"},
      {"amd-k10temp", "pci0000:00/0000:00:03.1/0000:0b:00.0.amdgpu.freq1", "sclk 13 2505"},
      // Files in the device folder, as drivers before the hwmon class published them.
      {"amd-k10temp", "platform/it87.2608.it8728.fan1", "it8728 fan1 6 1310"},
      {"notebook-acpitz", "virtual/thermal/thermal_zone0.acpitz.temp2", "acpitz temp2 1 27.8"},
      {"notebook-acpitz", "LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0.BAT0.curr1",
       "BAT0 curr1 3 1.231"},
      {"notebook-acpitz", "platform/coretemp.0.coretemp.temp1", "CPU Package 1 52"},
      {"nvme-disk", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0.nvme.temp1",
       "Composite 1 37.85 max 81.85 crit 84.85"},
      // One chip name on two disks: the device tells the two apart.
      {"drivetemp", "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0.drivetemp.temp1",
       "drivetemp temp1 (1:0:0:0) 1 33"},
  };
  for (const auto& [tree, identifier, expected] : rows) {
    EXPECT_EQ(describedIn(recordedTree(tree), identifier), expected) << tree;
  }
  // Every channel and nothing more: fan-curve points, limits and alarms are not channels.
  const std::pair<const char*, std::size_t> counts[] = {
      {"desktop-nct6798", 14}, {"amd-k10temp", 13}, {"notebook-acpitz", 7},
      {"nvme-disk", 3},        {"drivetemp", 2},
  };
  for (const auto& [tree, count] : counts) {
    EXPECT_EQ(std::ranges::count(listed(recordedTree(tree)), '\n'), count) << tree;
  }
  EXPECT_EQ(log_.lines(), std::vector<std::string>{});
}

// "_crit" stands in for a missing "_max"; 0 is an unset register; what is no number is no limit.
TEST_F(HwmonTreesTest, LimitsLeaveOutWhatIsUnsetOrUnreadable) {
  const std::string coretemp = "sys/devices/platform/coretemp.0/hwmon/hwmon0/";
  const std::tuple<std::string, const char*, const char*, const char*> rows[] = {
      {coretemp + "temp3_max", "0", "coretemp.0.coretemp.temp3",
       "CPU Core 2 1 41 max 100 crit 100"},
      {"sys/devices/platform/nct6775.656/hwmon/hwmon1/in0_max", "0", "nct6775.656.nct6798.in0",
       "Vcore 2 1.032"},
      {coretemp + "temp4_crit", "n/a", "coretemp.0.coretemp.temp4", "CPU Core 3 1 45 max 80"},
  };
  for (const auto& [file, contents, identifier, expected] : rows) {
    ScratchTree tree("desktop-nct6798");
    std::ofstream(tree / file) << contents << "\n";
    EXPECT_EQ(describedIn(tree.path(), std::string("platform/") + identifier), expected) << file;
  }
}

// Broken chips and files: the channel shows no reading or is left out, the
// rest of the machine is listed, and the log says once what was skipped.
TEST_F(HwmonTreesTest, BrokenChannelIsSkippedAndSaidOnce) {
  constexpr const char* kCore = "hwmon.platform/coretemp.0.coretemp.temp2";
  struct Broken {
    std::string file;    // in the tree
    std::string change;  // removed ("-"), removed after the scan ("~"), a link ("@target"),
                         // a folder ("/") or these bytes
    const char* core;    // the core as listed then ("-": left out; null: with no reading)
    std::size_t count;   // sensors listed
    const char* logged;  // what the log says, once
  };
  const std::string c = "sys/devices/platform/coretemp.0/hwmon/hwmon2/";  // the first core's
  const Broken rows[] = {
      {c + "temp2_input", "~", nullptr, 7, "temp2_input: No such file or directory"},
      // Reading a process's memory at address 0 fails with EIO, as a busy chip does.
      {c + "temp2_input", "@/proc/self/mem", nullptr, 7, "Input/output error"},
      {c + "temp2_input", "", nullptr, 7, "temp2_input: not a number"},
      {c + "temp2_input", "-300000\n", nullptr, 7, "temp2_input: out of range"},
      {c + "temp2_input", "/", "-", 6, "temp2_input: Is a directory"},
      {c + "temp2_label", "Core \xC0\xAF\n", "coretemp temp2 1 51", 7, "temp2_label: not UTF-8"},
      {"sys/class/hwmon/hwmon9", "@../../devices/platform/gone/hwmon/hwmon9", "CPU Core 1 1 51", 7,
       "hwmon9: the link points nowhere"},
      {"sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0/hwmon1/name", "-",
       "CPU Core 1 1 51", 5, "hwmon1: no chip name"},
  };
  for (const Broken& row : rows) {
    SCOPED_TRACE(row.logged);  // ASCII: some rows hold bytes that are no UTF-8
    ScratchTree tree("notebook-acpitz");
    const std::string path = tree / row.file, change = row.change;
    const std::function<void()> breakFile = [&] {
      std::filesystem::remove(path);
      if (change == "-" || change == "~") return;
      if (change[0] == '@') return std::filesystem::create_symlink(change.substr(1), path);
      if (change == "/") return (void)std::filesystem::create_directory(path);
      std::ofstream(path, std::ios::binary) << change;
    };
    log_.clear();
    if (change != "~") breakFile();
    install(tree.path(), change == "~" ? breakFile : nullptr);
    listing();
    clock_.advance(5.0);
    auto listed = listing();
    const std::string core = listed.contains(kCore) ? listed[kCore] : "-";
    listed.erase(kCore);
    EXPECT_EQ(core, row.core ? row.core : "CPU Core 1 1 nan");
    EXPECT_EQ(listed.size(), row.count - (core != "-"));
    EXPECT_TRUE(std::ranges::none_of(
        listed, [](auto& s) { return s.second.find(" nan") != std::string::npos; }));
    ASSERT_EQ(log_.lines().size(), 1u) << "said once, nothing else said";
    EXPECT_NE(log_.lines()[0].find(row.logged), std::string::npos) << log_.lines()[0];
  }
}

// Within a second of a read the last reading, then the file as the kernel changed it in place.
TEST_F(HwmonTreesTest, ChannelIsReadAtMostOncePerSecond) {
  ScratchTree tree("notebook-acpitz");
  std::string readings = describedIn(tree.path(), "platform/coretemp.0.coretemp.temp2");
  std::ofstream(tree / "sys/devices/platform/coretemp.0/hwmon/hwmon2/temp2_input") << "57000\n";
  for (double step : {0.9, 0.1}) {
    clock_.advance(step);
    readings += ", " + shown("platform/coretemp.0.coretemp.temp2");
  }
  EXPECT_EQ(readings, "CPU Core 1 1 51, CPU Core 1 1 51, CPU Core 1 1 57");
}

// The same machine after a boot that loaded the modules in another order.
TEST_F(HwmonTreesTest, RenumberedChipsKeepTheirIdentifiers) {
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
  EXPECT_EQ(listed(copy.path()), listed(recordedTree("amd-k10temp")));
}

TEST(SensorsConfigLabelsTest, LabelStatementsByChipPattern) {
  // The configuration, the chip and channel asked for, and their label ("" for none).
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"chip \"nct6798-*\"\n label in0 \"Vcore\"\n", "nct6798-isa-0290", "in0", "Vcore"},
      {"chip \"nct*-pci-*\"\nlabel temp2 \"CPU\"", "nct6798-isa-0290", "temp2", ""},
      // A name alone matches every bus.
      {"chip \"coretemp\"\nlabel temp1 \"P\"", "coretemp-isa-0000", "temp1", "P"},
      // Escapes, and a comment after the text.
      {"chip \"acpitz-*\" # zone\n  label temp1 \"Zone \\\"A\\\" # 1\"  # the first\n",
       "acpitz-acpi-0", "temp1", "Zone \"A\" # 1"},
      {"chip acpitz-*\nlabel temp1 Zone\n", "acpitz-acpi-0", "temp1", "Zone"},
      {"chip \"acpitz-*\"\nlabel temp1 \"Zone\n", "acpitz-acpi-0", "temp1", ""},
      {"label temp1 \"Zone\"\nchip \"acpitz-*\"\n", "acpitz-acpi-0", "temp1", ""},
  };
  for (const auto& [config, chip, channel, label] : cases) {
    linuxfs::SensorsConfigLabels labels;
    labels.parse(config);
    EXPECT_EQ(labels.labelFor(chip, channel).value_or(""), label) << config;
  }
}

TEST(SensorsConfigLabelsTest, ChipNamesFromTheDevicePath) {
  const std::pair<const char*, const char*> kNames[] = {
      {"pci0000:00/0000:00:1d.0/0000:3d:18.3/nvme/nvme0", "pci-3dc3"},
      {"pci0000:00/0000:00:1f.3/i2c-0/0-002d", "i2c-0-2d"},
      {"pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "scsi-1-0"},
      {"LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0", "acpi-0"},
      {"virtual/hwmon", "virtual-0"},
  };
  for (const auto& [device, name] : kNames) {
    EXPECT_EQ(linuxfs::SensorsConfigLabels::chipName("chip", device), std::string("chip-") + name);
  }
}

}  // namespace
}  // namespace zor::testing

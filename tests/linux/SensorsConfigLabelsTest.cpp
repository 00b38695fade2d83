// lm-sensors "label" statements: as much of the format as labels need.

#include "platform/linux/SensorsConfigLabels.h"

#include <gtest/gtest.h>

namespace zor::linuxfs {
namespace {

TEST(SensorsConfigLabelsTest, LabelStatementsByChipPattern) {
  // The configuration, the chip and channel asked for, and their label ("" for none).
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"chip \"nct6798-*\"\n label in0 \"Vcore\"\n", "nct6798-isa-0290", "in0", "Vcore"},
      {"chip \"nct*-isa-*\"\nlabel temp2 \"CPU\"", "nct6798-isa-0290", "temp2", "CPU"},
      {"chip \"nct*-pci-*\"\nlabel temp2 \"CPU\"", "nct6798-isa-0290", "temp2", ""},
      // A name alone matches every bus.
      {"chip \"coretemp\"\nlabel temp1 \"P\"", "coretemp-isa-0000", "temp1", "P"},
      {"chip \"it87-*\" \"k10temp-*\"\nlabel temp1 \"Die\"", "k10temp-pci-00c3", "temp1", "Die"},
      // The later statement wins.
      {"chip \"k10temp-*\"\nlabel temp1 \"A\"\nchip \"k10temp-pci-00c3\"\nlabel temp1 \"B\"",
       "k10temp-pci-00c3", "temp1", "B"},
      // Escapes, and a comment after the text.
      {"chip \"acpitz-*\" # zone\n  label temp1 \"Zone \\\"A\\\" # 1\"  # the first\n",
       "acpitz-acpi-0", "temp1", "Zone \"A\" # 1"},
      {"chip acpitz-*\nlabel temp1 Zone\n", "acpitz-acpi-0", "temp1", "Zone"},
      {"chip \"acpitz-*\"\nlabel temp1 \"Zone\n", "acpitz-acpi-0", "temp1", ""},
      {"label temp1 \"Zone\"\nchip \"acpitz-*\"\n", "acpitz-acpi-0", "temp1", ""},
  };
  for (const auto& [config, chip, channel, label] : cases) {
    SensorsConfigLabels labels;
    labels.parse(config);
    EXPECT_EQ(labels.labelFor(chip, channel).value_or(""), label) << config;
  }
}

TEST(SensorsConfigLabelsTest, ChipNamesFromTheDevicePath) {
  const std::pair<const char*, const char*> kNames[] = {
      {"platform/coretemp.0", "isa-0000"},
      {"platform/nct6775.656", "isa-0290"},
      {"pci0000:00/0000:00:18.3", "pci-00c3"},
      {"pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "pci-3d00"},
      {"pci0000:00/0000:00:1f.3/i2c-0/0-002d", "i2c-0-2d"},
      {"pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "scsi-1-0"},
      {"LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0", "acpi-0"},
      {"virtual/thermal/thermal_zone0", "acpi-0"},
      {"virtual/hwmon", "virtual-0"},
  };
  for (const auto& [device, name] : kNames) {
    EXPECT_EQ(SensorsConfigLabels::chipName("chip", device), std::string("chip-") + name);
  }
}

}  // namespace
}  // namespace zor::linuxfs

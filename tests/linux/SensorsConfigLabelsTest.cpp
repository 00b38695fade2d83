// lm-sensors "label" statements: as much of the format as labels need.

#include "platform/linux/SensorsConfigLabels.h"

#include <gtest/gtest.h>

namespace zor::linuxfs {
namespace {

struct LabelRow {
  const char* what;
  const char* config;
  const char* chipName;
  const char* channel;
  const char* label;  // null: none
};

const LabelRow kLabels[] = {
    {"wildcard bus and address", "chip \"nct6798-*\"\n label in0 \"Vcore\"\n", "nct6798-isa-0290",
     "in0", "Vcore"},
    {"wildcard in the name", "chip \"nct*-isa-*\"\nlabel temp2 \"CPU\"", "nct6798-isa-0290",
     "temp2", "CPU"},
    {"bus must match", "chip \"nct*-pci-*\"\nlabel temp2 \"CPU\"", "nct6798-isa-0290", "temp2",
     nullptr},
    {"a name alone matches every bus", "chip \"coretemp\"\nlabel temp1 \"P\"", "coretemp-isa-0000",
     "temp1", "P"},
    {"one of several chips", "chip \"it87-*\" \"k10temp-*\"\nlabel temp1 \"Die\"",
     "k10temp-pci-00c3", "temp1", "Die"},
    {"the later statement wins",
     "chip \"k10temp-*\"\nlabel temp1 \"A\"\nchip \"k10temp-pci-00c3\"\nlabel temp1 \"B\"",
     "k10temp-pci-00c3", "temp1", "B"},
    {"escapes and a comment after the text",
     "chip \"acpitz-*\" # zone\n  label temp1 \"Zone \\\"A\\\" # 1\"  # the first\n",
     "acpitz-acpi-0", "temp1", "Zone \"A\" # 1"},
    {"a bare word", "chip acpitz-*\nlabel temp1 Zone\n", "acpitz-acpi-0", "temp1", "Zone"},
    {"unterminated text", "chip \"acpitz-*\"\nlabel temp1 \"Zone\n", "acpitz-acpi-0", "temp1",
     nullptr},
    {"before any chip", "label temp1 \"Zone\"\nchip \"acpitz-*\"\n", "acpitz-acpi-0", "temp1",
     nullptr},
};

TEST(SensorsConfigLabelsTest, LabelStatementsByChipPattern) {
  for (const LabelRow& row : kLabels) {
    SensorsConfigLabels labels;
    labels.parse(row.config);
    auto label = labels.labelFor(row.chipName, row.channel);
    if (row.label == nullptr) {
      EXPECT_FALSE(label.has_value()) << row.what << ": " << label.value_or("");
    } else {
      EXPECT_EQ(label.value_or("(none)"), row.label) << row.what;
    }
  }
}

TEST(SensorsConfigLabelsTest, ChipNamesFromTheDevicePath) {
  const std::pair<const char*, const char*> kNames[] = {
      {"platform/coretemp.0", "coretemp-isa-0000"},
      {"platform/nct6775.656", "coretemp-isa-0290"},
      {"pci0000:00/0000:00:18.3", "coretemp-pci-00c3"},
      {"pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "coretemp-pci-3d00"},
      {"pci0000:00/0000:00:1f.3/i2c-0/0-002d", "coretemp-i2c-0-2d"},
      {"pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "coretemp-scsi-1-0"},
      {"virtual/thermal/thermal_zone0", "coretemp-acpi-0"},
      {"LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00/power_supply/BAT0", "coretemp-acpi-0"},
      {"virtual/hwmon", "coretemp-virtual-0"},
  };
  for (const auto& [device, name] : kNames) {
    EXPECT_EQ(SensorsConfigLabels::chipName("coretemp", device), name) << device;
  }
}

}  // namespace
}  // namespace zor::linuxfs

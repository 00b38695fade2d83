#pragma once
// The names a person gave hardware-monitor channels for lm-sensors: the
// "label" statements of /etc/sensors3.conf (or /etc/sensors.conf) and of
// every file in /etc/sensors.d, read in that order, later statements winning.
// Only as much of the format as labels need: `chip "pattern" ...` blocks
// (wildcards in chip names), `label <channel> "text"` lines with quoting and
// escapes, '#' comments; every other statement is passed over. Used by
// HwmonScanner, whose labels these override.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class SensorsConfigLabels {
 public:
  static SensorsConfigLabels load(const LinuxRoot& root);
  // Adds the statements of one configuration file.
  void parse(std::string_view text);

  // The label for `channel` ("temp2") of the chip lm-sensors calls `chipName`; nothing when none.
  std::optional<std::string> labelFor(const std::string& chipName,
                                      const std::string& channel) const;

  // lm-sensors' name for a chip: its name, bus and address from its device
  // ("coretemp-isa-0000", "k10temp-pci-00c3", "nvme-pci-3d00", "acpitz-acpi-0").
  static std::string chipName(const std::string& chip, const std::string& devicePath);

 private:
  struct Label {
    std::vector<std::string> chipPatterns;
    std::string channel;
    std::string text;
  };
  std::vector<Label> labels_;
};

}  // namespace zor::linuxfs

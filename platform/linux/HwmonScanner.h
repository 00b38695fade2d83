#pragma once
// Finds every hardware-monitor channel of a machine: each chip linked from
// /sys/class/hwmon, its files in its hwmon folder or, for drivers that
// publish them the old way, in its device folder (the folder with a "name"
// file is the chip's), and every "<kind><n>_input" file there (only those
// are channels; "pwm1_auto_point1_temp" and the like are settings). Labels
// come from "<kind><n>_label" and from lm-sensors "label" statements. What
// cannot be used (a dangling link, a chip without a name, an input that is a
// folder or cannot be opened, a label that is not UTF-8) is left out and
// said once in the system log. Used by HwmonEntries.

#include <vector>

#include "platform/linux/HwmonChannel.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class HwmonScanner {
 public:
  // The channels in a stable order (device path, chip, kind, number), not
  // yet named; the machine's hwmonN numbers play no part in it.
  static std::vector<HwmonChannel> scan(const LinuxRoot& root);
};

}  // namespace zor::linuxfs

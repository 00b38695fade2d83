#pragma once
// One hardware-monitor channel found under /sys/class/hwmon: what the scanner
// read (chip, device, input file, labels) and what the naming step makes of
// it (identity, location, sensor name). A plain record passed from
// HwmonScanner through HwmonNaming to HwmonEntries.

#include <string>

#include "platform/linux/HwmonKind.h"
#include "platform/linux/HwmonLimits.h"

namespace zor::linuxfs {

struct HwmonChannel {
  const HwmonKind* kind = nullptr;
  int number = 0;           // the n of "temp<n>_input"
  std::string chip;         // the chip's "name" file
  std::string devicePath;   // the chip's device under /sys/devices, without "hwmonN"
  std::string inputPath;    // the "_input" file as opened (inside the root)
  std::string label;        // the "_label" file; empty when absent or unusable
  std::string configLabel;  // a lm-sensors "label" statement; empty when none
  HwmonLimits limits;       // the chip's "_max" and "_crit", in published units

  // Set by HwmonNaming.
  std::string identity;  // device path, chip and channel: the same after every boot
  std::string location;
  std::string sensorName;

  // "temp2"
  std::string channel() const { return std::string(kind->prefix) + std::to_string(number); }
};

}  // namespace zor::linuxfs

#pragma once
// The machine's hardware-monitor channels as registry entries in profile
// form, for the Linux machine builder. One entry per channel:
//
//   "IOObjectClass"       = "ZORHwmonChannel"
//   "IORegistryEntryName" = "coretemp temp2" (chip and channel)
//   "HwmonIdentity"       = "platform/coretemp.0.coretemp.temp2" (device path,
//                           chip, channel: the same after every boot)
//   "HwmonLocation"       = "CPU Core 1"   (what the widget shows)
//   "HwmonSensorName"     = "coretemp"
//   "HwmonKind"           = "temp" | "in" | "curr" | "power" | "fan" | "freq"
//   "SMCKey"              = "TC0D": only on the temperature channels of the
//                           applesmc chip, whose labels are the SMC's keys (the
//                           SMC family reads the same key; see AppleSMCEntries)
//   "HwmonValue"          = the reading, published by the live driver on each
//                           read of the entry: millidegrees Celsius, millivolts,
//                           milliamperes, milliwatts, RPM or kilohertz;
//                           absent while there is no reading
//   "HwmonMax"            = the chip's upper limit ("_max"), in the units of
//                           "HwmonValue"; absent when the chip publishes none
//   "HwmonCrit"           = the chip's critical limit ("_crit"), the same way
//   "ZORSimulation"       = { "HwmonInput" = the "_input" file as opened;
//                             "HwmonKind" = as above }
//
// "HwmonInput" selects HwmonDriverBehaviour. A profile without it (as
// --dump-profile writes) replays the last "HwmonValue".

#include "platform/PropertyList.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class HwmonEntries {
 public:
  static constexpr const char* kClassName = "ZORHwmonChannel";

  // Scans `root` and appends one entry per usable channel to `services`, in
  // an order that does not depend on the kernel's hwmonN numbers. Returns how
  // many were appended. What is left out is said once in the system log.
  static std::size_t append(const LinuxRoot& root, PlistArray* services);
};

}  // namespace zor::linuxfs

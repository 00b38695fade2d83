#pragma once
// The six kinds of hardware-monitor channel the Linux backend reads, by the
// prefix of their sysfs files ("temp", "in", "curr", "power", "fan",
// "freq"), with the kernel's unit and the unit the registry entry publishes.
// Published values are the kernel's divided by `scale`, chosen so a reading
// fits a sensor's 32-bit raw value: millidegrees Celsius, millivolts,
// milliamperes, milliwatts (from microwatts), RPM and kilohertz (from hertz).
// Used by the hwmon scanner (which files are channels) and the live driver
// (scaling and range checks).

#include <cstdint>
#include <optional>
#include <string_view>

namespace zor::linuxfs {

struct HwmonKind {
  const char* prefix;
  std::int64_t scale;    // kernel units per published unit
  std::int64_t minimum;  // plausible kernel values, inclusive
  std::int64_t maximum;

  // The published value of a kernel reading; nothing when it is out of range.
  std::optional<std::int32_t> publish(std::int64_t kernelValue) const;

  // The kind with this file prefix, or null.
  static const HwmonKind* named(std::string_view prefix);
};

}  // namespace zor::linuxfs

#pragma once
// The upper limits a sensor's hardware publishes, in the sensor's own unit
// (the unit of its converted value): the reading above which the hardware
// counts the part as too warm (or too high), and the one above which it
// counts it as in danger. Either may be missing. Filled by the families that
// know them (hardware-monitor channels, CPU cores); read by the widget.

#include <optional>

namespace zor {

struct SensorLimits {
  std::optional<double> upper;
  std::optional<double> critical;

  bool operator==(const SensorLimits&) const = default;
};

}  // namespace zor

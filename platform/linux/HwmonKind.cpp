#include "platform/linux/HwmonKind.h"

namespace zor::linuxfs {
namespace {

// Limits keep out what no working sensor reports (below absolute zero, a
// negative fan speed) and anything whose published value would not fit 32 bits.
constexpr HwmonKind kKinds[] = {
    {"temp", 1, -273150, 1000000},     // millidegrees, up to 1000 degrees
    {"in", 1, -1000000, 1000000},      // millivolts, +-1 kV
    {"curr", 1, -1000000, 1000000},    // milliamperes, +-1 kA (batteries go negative)
    {"power", 1000, 0, 100000000000},  // microwatts, up to 100 kW
    {"fan", 1, 0, 1000000},            // RPM
    {"freq", 1000, 0, 1000000000000},  // hertz, up to 1 THz
};

}  // namespace

std::optional<std::int32_t> HwmonKind::publish(std::int64_t kernelValue) const {
  if (kernelValue < minimum || kernelValue > maximum) return std::nullopt;
  return static_cast<std::int32_t>(kernelValue / scale);
}

const HwmonKind* HwmonKind::named(std::string_view prefix) {
  for (const HwmonKind& kind : kKinds) {
    if (prefix == kind.prefix) return &kind;
  }
  return nullptr;
}

}  // namespace zor::linuxfs

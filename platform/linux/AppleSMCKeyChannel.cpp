#include "platform/linux/AppleSMCKeyChannel.h"

#include <algorithm>

namespace zor::linuxfs {
namespace {

// The lowest and highest millidegrees a two-byte key can stand for: a signed
// reading down to -128 degrees, or the driver's unsigned print up to byte0 255.
constexpr std::int64_t kLowest = -128000;
constexpr std::int64_t kHighest = 255750;

}  // namespace

std::optional<std::array<std::uint8_t, 2>> AppleSMCKeyChannel::sp78ForMillidegrees(
    std::int64_t millidegrees) {
  if (millidegrees < kLowest || millidegrees > kHighest) return std::nullopt;
  // 1/256 degree steps; the driver's quarter degrees are exact. Wrapping to
  // sixteen bits makes the unsigned print of a negative key negative again.
  std::int64_t steps = (millidegrees * 256 + (millidegrees < 0 ? -500 : 500)) / 1000;
  auto raw = static_cast<std::uint16_t>(static_cast<std::uint64_t>(steps) & 0xFFFFu);
  return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(raw >> 8),
                                     static_cast<std::uint8_t>(raw & 0xFF)};
}

bool AppleSMCKeyChannel::isKeyName(const std::string& label) {
  return label.size() == 4 &&
         std::all_of(label.begin(), label.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::optional<std::array<std::uint8_t, 2>> AppleSMCKeyChannel::currentBytes() const {
  auto millidegrees = input_.readInteger();
  if (!millidegrees) return std::nullopt;
  return sp78ForMillidegrees(*millidegrees);
}

}  // namespace zor::linuxfs

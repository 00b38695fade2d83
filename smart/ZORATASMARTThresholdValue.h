#pragma once
// One entry of a disk's S.M.A.R.T. threshold page: 12 bytes, the attribute
// ID, the threshold value and ten reserved bytes. The threshold page holds 30
// of them from offset 2; entry n belongs to entry n of the data page.
// Decoded field by field by the S.M.A.R.T. disk access for the attribute status.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zor {

struct ZORATASMARTThresholdValue {
  static constexpr std::size_t kSize = 12;
  static constexpr std::size_t kPageOffset = 2;
  static constexpr std::size_t kEntriesPerPage = 30;

  std::uint8_t attributeID = 0;
  std::uint8_t thresholdValue = 0;

  // The record in the first 12 bytes of `bytes`; nothing when there are fewer.
  static std::optional<ZORATASMARTThresholdValue> decode(std::span<const std::uint8_t> bytes);
  // Entry `index` (0 to 29) of a threshold page; nothing outside the page.
  static std::optional<ZORATASMARTThresholdValue> entryOfPage(std::span<const std::uint8_t> page,
                                                              std::size_t index);
};

}  // namespace zor

#include "smart/ZORATASMARTThresholdValue.h"

namespace zor {

std::optional<ZORATASMARTThresholdValue> ZORATASMARTThresholdValue::decode(
    std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  ZORATASMARTThresholdValue record;
  record.attributeID = bytes[0];
  record.thresholdValue = bytes[1];
  return record;
}

std::optional<ZORATASMARTThresholdValue> ZORATASMARTThresholdValue::entryOfPage(
    std::span<const std::uint8_t> page, std::size_t index) {
  if (index >= kEntriesPerPage) return std::nullopt;
  std::size_t offset = kPageOffset + index * kSize;
  if (offset + kSize > page.size()) return std::nullopt;
  return decode(page.subspan(offset, kSize));
}

}  // namespace zor

#include "smart/ZORSMARTVendorAttribute.h"

namespace zor {

std::optional<ZORSMARTVendorAttribute> ZORSMARTVendorAttribute::decode(
    std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  ZORSMARTVendorAttribute record;
  record.attributeID = bytes[0];
  record.flags = static_cast<std::uint16_t>(bytes[1] | (bytes[2] << 8));
  record.currentValue = bytes[3];
  record.worstValue = bytes[4];
  for (std::size_t i = 0; i < record.rawValue.size(); ++i) record.rawValue[i] = bytes[5 + i];
  record.reserved = bytes[11];
  return record;
}

std::optional<ZORSMARTVendorAttribute> ZORSMARTVendorAttribute::entryOfPage(
    std::span<const std::uint8_t> page, std::size_t index) {
  if (index >= kEntriesPerPage) return std::nullopt;
  std::size_t offset = kPageOffset + index * kSize;
  if (offset + kSize > page.size()) return std::nullopt;
  return decode(page.subspan(offset, kSize));
}

std::uint64_t ZORSMARTVendorAttribute::rawValue48() const {
  std::uint64_t value = 0;
  for (std::size_t i = rawValue.size(); i-- > 0;) value = (value << 8) | rawValue[i];
  return value;
}

}  // namespace zor

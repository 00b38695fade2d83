#pragma once
// One vendor attribute of a disk's S.M.A.R.T. data page: 12 bytes, little
// endian, packed: ID (0 = empty slot), flags (bit 0: pre-failure attribute),
// current (normalised) value, worst value, six raw-value bytes (least
// significant first), one reserved byte. The data page holds 30 of them from
// offset 2. Decoded field by field by the S.M.A.R.T. disk access, which takes
// the temperature and the attribute dictionaries from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zor {

struct ZORSMARTVendorAttribute {
  static constexpr std::size_t kSize = 12;
  // Where the entries of a 512-byte data page start and how many there are.
  static constexpr std::size_t kPageOffset = 2;
  static constexpr std::size_t kEntriesPerPage = 30;

  std::uint8_t attributeID = 0;
  std::uint16_t flags = 0;
  std::uint8_t currentValue = 0;
  std::uint8_t worstValue = 0;
  std::array<std::uint8_t, 6> rawValue{};
  std::uint8_t reserved = 0;

  // The record in the first 12 bytes of `bytes`; nothing when there are fewer.
  static std::optional<ZORSMARTVendorAttribute> decode(std::span<const std::uint8_t> bytes);
  // Entry `index` (0 to 29) of a data page; nothing outside the page.
  static std::optional<ZORSMARTVendorAttribute> entryOfPage(std::span<const std::uint8_t> page,
                                                            std::size_t index);
  // The six raw bytes as one little-endian number.
  std::uint64_t rawValue48() const;
  bool isPreFailure() const { return (flags & 0x0001u) != 0; }
};

}  // namespace zor

#include "legacy/BigEndianRecord.h"

namespace zor {

bool BigEndianRecord::contains(std::size_t offset, std::size_t width) const {
  return offset <= bytes_.size() && width <= bytes_.size() - offset;
}

std::uint32_t BigEndianRecord::unsignedAt(std::size_t offset, std::size_t width) const {
  if (!contains(offset, width)) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes_[offset + i];
  return value;
}

std::uint8_t BigEndianRecord::uint8At(std::size_t offset) const {
  return static_cast<std::uint8_t>(unsignedAt(offset, 1));
}

std::uint16_t BigEndianRecord::uint16At(std::size_t offset) const {
  return static_cast<std::uint16_t>(unsignedAt(offset, 2));
}

std::int16_t BigEndianRecord::int16At(std::size_t offset) const {
  // Two's complement reinterpretation of the 16 bits, well defined since C++20.
  return static_cast<std::int16_t>(uint16At(offset));
}

std::uint32_t BigEndianRecord::uint32At(std::size_t offset) const {
  return unsignedAt(offset, 4);
}

std::int32_t BigEndianRecord::int32At(std::size_t offset) const {
  return static_cast<std::int32_t>(uint32At(offset));
}

std::span<const std::uint8_t> BigEndianRecord::bytesAt(std::size_t offset,
                                                       std::size_t width) const {
  if (!contains(offset, width)) return {};
  return bytes_.subspan(offset, width);
}

}  // namespace zor

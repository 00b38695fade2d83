#pragma once
// Field-by-field reader over the bytes of a firmware record (the G5
// processor-card record, the SMU system-database partitions). These records
// are written by big-endian firmware and published by the registry byte for
// byte, so multi-byte fields are read most significant byte first whatever
// the host's own order. Every read is bounds-checked: a field that does not
// lie wholly inside the record reads as 0 (callers check the record's length
// before they decode it, so this only guards against a wrong offset).
// Used by ZORMPUInfo and ZORSMUInfo.

#include <cstddef>
#include <cstdint>
#include <span>

namespace zor {

class BigEndianRecord {
 public:
  explicit BigEndianRecord(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  // True when `width` bytes starting at `offset` lie inside the record.
  bool contains(std::size_t offset, std::size_t width) const;

  std::uint8_t uint8At(std::size_t offset) const;
  std::uint16_t uint16At(std::size_t offset) const;
  std::int16_t int16At(std::size_t offset) const;
  std::uint32_t uint32At(std::size_t offset) const;
  std::int32_t int32At(std::size_t offset) const;
  // The bytes of a field; empty when it does not lie inside the record.
  std::span<const std::uint8_t> bytesAt(std::size_t offset, std::size_t width) const;

 private:
  // The field's bytes as an unsigned number, most significant first; 0 out of bounds.
  std::uint32_t unsignedAt(std::size_t offset, std::size_t width) const;

  std::span<const std::uint8_t> bytes_;
};

}  // namespace zor

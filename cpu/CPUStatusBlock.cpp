#include "cpu/CPUStatusBlock.h"

namespace zor {
namespace {

// Callers have checked that offset + 4 (or + 8) lies within the bytes.
std::uint32_t readUInt32LE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::uint64_t readUInt64LE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint64_t>(readUInt32LE(bytes, offset)) |
         (static_cast<std::uint64_t>(readUInt32LE(bytes, offset + 4)) << 32);
}

// Header offsets.
constexpr std::size_t kDriverVersionOffset = 0;
constexpr std::size_t kCoreCountOffset = 4;
constexpr std::size_t kPlatformInfoOffset = 8;
constexpr std::size_t kStatusFlagsOffset = 16;

// Offsets within a core record.
constexpr std::size_t kUpdateTimeOffset = 0;
constexpr std::size_t kThermalReadingOffset = 8;
constexpr std::size_t kPerformanceStatusOffset = 12;
constexpr std::size_t kBusSpeedCodeOffset = 28;

}  // namespace

std::optional<CPUStatusBlock> CPUStatusBlock::parse(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  CPUStatusBlock block(bytes);
  block.driverVersion_ = readUInt32LE(bytes, kDriverVersionOffset);
  block.coreCount_ = readUInt32LE(bytes, kCoreCountOffset);
  block.platformInfo_ = readUInt64LE(bytes, kPlatformInfoOffset);
  block.statusFlags_ = readUInt32LE(bytes, kStatusFlagsOffset);
  // In 64 bits the announced size cannot wrap, whatever the core count says.
  const std::uint64_t announced =
      std::uint64_t{kHeaderSize} + std::uint64_t{kRecordSize} * block.coreCount_ + kTrailerSize;
  if (bytes.size() < announced) return std::nullopt;
  block.turboRatioLimits_ =
      readUInt64LE(bytes, kHeaderSize + std::size_t{kRecordSize} * block.coreCount_);
  return block;
}

std::optional<CPUStatusBlock> CPUStatusBlock::fromValue(const PlistValue* value) {
  const PlistData* data = value != nullptr ? value->asData() : nullptr;
  if (data == nullptr) return std::nullopt;
  return parse(*data);
}

std::optional<CPUCoreStatusRecord> CPUStatusBlock::record(std::int64_t index) const {
  if (index < 0 || index >= static_cast<std::int64_t>(coreCount_)) return std::nullopt;
  const std::size_t offset = kHeaderSize + kRecordSize * static_cast<std::size_t>(index);
  CPUCoreStatusRecord record;
  record.updateTime = readUInt32LE(bytes_, offset + kUpdateTimeOffset);
  record.thermalReading =
      static_cast<std::int32_t>(readUInt32LE(bytes_, offset + kThermalReadingOffset));
  record.performanceStatus = readUInt64LE(bytes_, offset + kPerformanceStatusOffset);
  record.busSpeedCode = readUInt64LE(bytes_, offset + kBusSpeedCodeOffset);
  return record;
}

}  // namespace zor

#pragma once
// The status block ("CPUStatus") that the CPU-monitoring driver publishes on
// its service: a 20-byte header, one 36-byte record per core and a trailing
// 64-bit turbo-ratio word, little-endian, with 64-bit fields aligned to 4
// bytes only. Decoded field by field from the bytes; a block shorter than
// the header, or shorter than the records and trailer its header announces,
// is refused as a whole so that nothing is ever read past its end.
// Used by ZORTALVEROx86Monitor and its processor-family variants.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

// One core's record (the driver's per-core status record).
struct CPUCoreStatusRecord {
  // Whole seconds of the time of day when the driver last refreshed the record; 0 = never.
  std::uint32_t updateTime = 0;
  // Degrees Celsius below the junction temperature limit; 0 = no reading.
  std::int32_t thermalReading = 0;
  // Bits 8..12 current bus ratio, bit 14 half ratio, bit 31: bits 40..44 hold the maximum ratio.
  std::uint64_t performanceStatus = 0;
  // Index of the bus clock.
  std::uint64_t busSpeedCode = 0;
};

class CPUStatusBlock {
 public:
  static constexpr std::size_t kHeaderSize = 20;
  static constexpr std::size_t kRecordSize = 36;
  static constexpr std::size_t kTrailerSize = 8;

  // statusFlags bits.
  static constexpr std::uint32_t kTemperaturesReadable = 1u << 0;
  static constexpr std::uint32_t kAffectedByErratumAE18 = 1u << 2;
  static constexpr std::uint32_t kLowJunctionLimit = 1u << 3;
  static constexpr std::uint32_t kJunctionLimitValid = 1u << 4;
  static constexpr std::uint32_t kTurboRatioLimitsValid = 1u << 5;

  // The decoded block (with its own copy of the bytes), or nothing when the
  // bytes are too short for the header or for the `coreCount` records and
  // the trailer it announces.
  static std::optional<CPUStatusBlock> parse(std::span<const std::uint8_t> bytes);
  // The block of a property value: nothing unless it is a data value holding a complete block.
  static std::optional<CPUStatusBlock> fromValue(const PlistValue* value);

  std::uint32_t driverVersion() const { return driverVersion_; }
  std::uint32_t coreCount() const { return coreCount_; }
  std::uint64_t platformInfo() const { return platformInfo_; }
  std::uint32_t statusFlags() const { return statusFlags_; }
  bool hasFlag(std::uint32_t flag) const { return (statusFlags_ & flag) != 0; }
  // Bits 24..31 of the status flags: the junction temperature limit in degrees Celsius.
  std::uint8_t junctionTemperatureLimit() const {
    return static_cast<std::uint8_t>(statusFlags_ >> 24);
  }
  // Byte k (from the least significant) is the turbo ratio with k + 1 active
  // cores; meaningful only when kTurboRatioLimitsValid is set.
  std::uint64_t turboRatioLimits() const { return turboRatioLimits_; }

  // The record of core `index`, or nothing when the index is not below coreCount().
  std::optional<CPUCoreStatusRecord> record(std::int64_t index) const;

 private:
  explicit CPUStatusBlock(std::span<const std::uint8_t> bytes)
      : bytes_(bytes.begin(), bytes.end()) {}

  std::vector<std::uint8_t> bytes_;
  std::uint32_t driverVersion_ = 0;
  std::uint32_t coreCount_ = 0;
  std::uint64_t platformInfo_ = 0;
  std::uint32_t statusFlags_ = 0;
  std::uint64_t turboRatioLimits_ = 0;
};

}  // namespace zor

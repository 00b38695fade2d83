#pragma once
// The data a System Management Unit keeps in its system database, read from
// the partitions its registry entry publishes ("sdb-partition-%02X"): the CPU
// operating points (0x12), the analog/digital converter constants (0x21) and
// the CPU diode calibration (0x18). The diode sensors take their calibration
// from here; the converter constants serve callers that want the scale
// factors. A class operation reports the maximum CPU design temperature that
// the SMU platform plug-in publishes. Objects are immutable once made.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

class ZORIORegistryEntry;

// The 4-byte header every system-database partition begins with.
struct _SystemDatabasePartitionHeader {
  std::uint8_t partitionID = 0;
  std::uint8_t partitionLength = 0;
  std::uint8_t partitionVersion = 0;
  std::uint8_t partitionFlags = 0;
};

// Partition 0x12, 16 bytes.
struct SMU_CPUOperatingPoints {
  _SystemDatabasePartitionHeader header;
  std::uint32_t freq = 0;  // system clock in Hz
  std::uint8_t reserved00 = 0;
  std::uint8_t tMax = 0;
  std::uint16_t vCore[3] = {0, 0, 0};  // raw core voltage of operating points 0..2
};

// Partition 0x21, 24 bytes. Scales and offsets carry 12 fraction bits, the
// power-supply constants 28.
struct _SMU_ADCConversionConstants {
  _SystemDatabasePartitionHeader header;
  std::uint16_t voltageScale = 0;
  std::int16_t voltageOffset = 0;
  std::uint16_t currentScale = 0;
  std::int16_t currentOffset = 0;
  std::int32_t psuAValue = 0;
  std::int32_t psuBValue = 0;
  std::int32_t psuCValue = 0;
};

class ZORSMUInfo;
using ZORSMUInfoList = std::vector<std::shared_ptr<ZORSMUInfo>>;

class ZORSMUInfo {
 public:
  static constexpr std::int32_t kCPUOperatingPointsPartition = 0x12;
  static constexpr std::int32_t kDiodeCalibrationPartition = 0x18;
  static constexpr std::int32_t kADCConstantsPartition = 0x21;

  ZORSMUInfo() = default;

  // One object per SMU whose entry publishes the operating points and the
  // converter constants, in registry order; read anew on every call.
  static ZORSMUInfoList allSMUs();
  // Degrees; 0.0 when no SMU platform plug-in publishes "cpu-tmax".
  static float maximumCPUDesignTemperature();
  // make_shared + initWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORSMUInfo> smuInfoWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);
  // The name of a partition's property ("sdb-partition-18").
  static std::string partitionPropertyName(std::int32_t partitionID);

  // Reads the three partitions; false (after the length line in the log) as
  // soon as one is missing or of the wrong length, or for a null entry.
  bool initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);
  // The partition's bytes when they have exactly `expectedLength` bytes;
  // otherwise the length line goes to the log and the result is null.
  std::optional<PlistData> dataFromEntry(const std::shared_ptr<ZORIORegistryEntry>& entry,
                                         std::int32_t forSystemDatabasePartitionWithID,
                                         std::uint32_t expectedLength) const;

  // A null place is skipped.
  void getVoltageScale(std::uint16_t* scale, std::int16_t* offset) const;
  void getCurrentScale(std::uint16_t* scale, std::int16_t* offset) const;
  std::uint32_t mDiodeCalibration() const { return mDiodeCalibration_; }
  std::int32_t bDiodeCalibration() const { return bDiodeCalibration_; }
  const SMU_CPUOperatingPoints& cpuOperatingPoints() const { return cpuOperatingPoints_; }
  const _SMU_ADCConversionConstants& adConverterConstants() const { return adConverterConstants_; }

  std::string description() const;

 private:
  SMU_CPUOperatingPoints cpuOperatingPoints_;
  _SMU_ADCConversionConstants adConverterConstants_;
  std::uint32_t mDiodeCalibration_ = 0;
  std::int32_t bDiodeCalibration_ = 0;
};

}  // namespace zor

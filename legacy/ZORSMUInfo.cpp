#include "legacy/ZORSMUInfo.h"

#include "legacy/BigEndianRecord.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor {
namespace {

constexpr std::uint32_t kOperatingPointsLength = 16;
constexpr std::uint32_t kADCConstantsLength = 24;
constexpr std::uint32_t kDiodeCalibrationLength = 8;

constexpr double kTwelveFractionBits = 1.0 / 4096.0;            // 2^-12
constexpr double kTwentyEightFractionBits = 1.0 / 268435456.0;  // 2^-28
constexpr float kSixteenFractionBits = 1.0f / 65536.0f;         // 2^-16

_SystemDatabasePartitionHeader headerOf(const BigEndianRecord& record) {
  _SystemDatabasePartitionHeader header;
  header.partitionID = record.uint8At(0);
  header.partitionLength = record.uint8At(1);
  header.partitionVersion = record.uint8At(2);
  header.partitionFlags = record.uint8At(3);
  return header;
}

SMU_CPUOperatingPoints operatingPointsOf(const BigEndianRecord& record) {
  SMU_CPUOperatingPoints points;
  points.header = headerOf(record);
  points.freq = record.uint32At(4);
  points.reserved00 = record.uint8At(8);
  points.tMax = record.uint8At(9);
  for (std::size_t i = 0; i < 3; ++i) points.vCore[i] = record.uint16At(10 + 2 * i);
  return points;
}

_SMU_ADCConversionConstants converterConstantsOf(const BigEndianRecord& record) {
  _SMU_ADCConversionConstants constants;
  constants.header = headerOf(record);
  constants.voltageScale = record.uint16At(4);
  constants.voltageOffset = record.int16At(6);
  constants.currentScale = record.uint16At(8);
  constants.currentOffset = record.int16At(10);
  constants.psuAValue = record.int32At(12);
  constants.psuBValue = record.int32At(16);
  constants.psuCValue = record.int32At(20);
  return constants;
}

}  // namespace

std::string ZORSMUInfo::partitionPropertyName(std::int32_t partitionID) {
  return formatString("sdb-partition-%02X", static_cast<unsigned>(partitionID));
}

ZORSMUInfoList ZORSMUInfo::allSMUs() {
  ZORSMUInfoList found;
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("AppleSMU"));
  if (!services) return found;
  for (const auto& service : *services) {
    std::shared_ptr<ZORIORegistryEntry> parent = service->parentServiceEntry();
    if (!parent || parent->stringValueWithName("name") != "smu") continue;
    // Only these two are checked first; a missing diode partition is logged at creation.
    if (!parent->hasValueWithName(partitionPropertyName(kCPUOperatingPointsPartition)) ||
        !parent->hasValueWithName(partitionPropertyName(kADCConstantsPartition))) {
      continue;
    }
    if (auto smu = smuInfoWithIORegistryEntry(parent)) found.push_back(std::move(smu));
  }
  return found;
}

float ZORSMUInfo::maximumCPUDesignTemperature() {
  auto services =
      ZORIORegistryEntry::serviceObjectsMatchingName(std::string("SMU_Neo2_PlatformPlugin"));
  if (!services) return 0.0f;
  for (const auto& service : *services) {
    std::optional<PlistDictionary> properties = service->properties();
    if (!properties) continue;
    auto environment = properties->find("IOEnvironment");
    if (environment == properties->end()) continue;
    const PlistValue* tmax = environment->second.find("cpu-tmax");
    if (tmax == nullptr || !tmax->isNumber()) continue;
    // The plug-in publishes the temperature in 16.16 fixed point.
    auto value = tmax->realValue();
    if (!value) continue;
    return static_cast<float>(*value) * kSixteenFractionBits;
  }
  return 0.0f;
}

std::shared_ptr<ZORSMUInfo> ZORSMUInfo::smuInfoWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto smu = std::make_shared<ZORSMUInfo>();
  return smu->initWithIORegistryEntry(entry) ? smu : nullptr;
}

std::optional<PlistData> ZORSMUInfo::dataFromEntry(const std::shared_ptr<ZORIORegistryEntry>& entry,
                                                   std::int32_t forSystemDatabasePartitionWithID,
                                                   std::uint32_t expectedLength) const {
  if (!entry) return std::nullopt;
  std::optional<PlistDictionary> properties = entry->properties();
  if (properties) {
    auto partition = properties->find(partitionPropertyName(forSystemDatabasePartitionWithID));
    if (partition != properties->end()) {
      const PlistData* bytes = partition->second.asData();
      if (bytes != nullptr && bytes->size() == expectedLength) return *bytes;
    }
  }
  SystemLog::writeFormat(
      "SMU: System database partition with identifier %02X does not have expected length of %u\n",
      static_cast<unsigned>(forSystemDatabasePartitionWithID), expectedLength);
  return std::nullopt;
}

bool ZORSMUInfo::initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry) return false;
  auto operatingPoints = dataFromEntry(entry, kCPUOperatingPointsPartition, kOperatingPointsLength);
  if (!operatingPoints) return false;
  cpuOperatingPoints_ = operatingPointsOf(BigEndianRecord(*operatingPoints));

  auto constants = dataFromEntry(entry, kADCConstantsPartition, kADCConstantsLength);
  if (!constants) return false;
  adConverterConstants_ = converterConstantsOf(BigEndianRecord(*constants));

  auto calibration = dataFromEntry(entry, kDiodeCalibrationPartition, kDiodeCalibrationLength);
  if (!calibration) return false;
  BigEndianRecord diode(*calibration);
  mDiodeCalibration_ = diode.uint16At(4);
  bDiodeCalibration_ = diode.int16At(6);
  return true;
}

void ZORSMUInfo::getVoltageScale(std::uint16_t* scale, std::int16_t* offset) const {
  if (scale != nullptr) *scale = adConverterConstants_.voltageScale;
  if (offset != nullptr) *offset = adConverterConstants_.voltageOffset;
}

void ZORSMUInfo::getCurrentScale(std::uint16_t* scale, std::int16_t* offset) const {
  if (scale != nullptr) *scale = adConverterConstants_.currentScale;
  if (offset != nullptr) *offset = adConverterConstants_.currentOffset;
}

std::string ZORSMUInfo::description() const {
  const SMU_CPUOperatingPoints& points = cpuOperatingPoints_;
  const _SMU_ADCConversionConstants& constants = adConverterConstants_;
  return formatString(
      "System Management Unit: system clock %u Hz, maximum temp %u, voltages: %u (0) %u (1) %u "
      "(2), V ADC s %f / o %f, A ADC s %f / o %f PSU %f (A) %f (B) %f (C) m %d, b %d",
      points.freq, static_cast<unsigned>(points.tMax), static_cast<unsigned>(points.vCore[0]),
      static_cast<unsigned>(points.vCore[1]), static_cast<unsigned>(points.vCore[2]),
      constants.voltageScale * kTwelveFractionBits, constants.voltageOffset * kTwelveFractionBits,
      constants.currentScale * kTwelveFractionBits, constants.currentOffset * kTwelveFractionBits,
      constants.psuAValue * kTwentyEightFractionBits,
      constants.psuBValue * kTwentyEightFractionBits,
      constants.psuCValue * kTwentyEightFractionBits, static_cast<int>(mDiodeCalibration_),
      bDiodeCalibration_);
}

}  // namespace zor

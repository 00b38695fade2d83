#pragma once
// The data record of one G5 processor card (MPU): 160 bytes that the card
// keeps in its own memory and the platform publishes as the "cpuid" property
// of the card's record service. Holds the record by value and decodes its
// fields on demand: diode calibration, temperature and fan limits, part, lot
// and serial numbers. Used by the G5 processor temperature sensor, which
// converts its diode channel with the card's calibration. Immutable once made.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

class ZORIORegistryEntry;
class ZORMPUInfo;
using ZORMPUInfoList = std::vector<std::shared_ptr<ZORMPUInfo>>;

class ZORMPUInfo {
 public:
  static constexpr std::size_t kRecordLength = 160;
  using Record = std::array<std::uint8_t, kRecordLength>;

  ZORMPUInfo() = default;

  // One object per valid card record, in registry order; read anew on every call.
  static ZORMPUInfoList allMPUs();
  // Card-record services present, valid or not.
  static std::uint32_t numberOfLocalUnits();
  // The card a sensor location belongs to: "CPU A..." is 0, "CPU B..." is 1;
  // 0 for anything that does not begin with "CPU " and a fifth character.
  static std::uint32_t mpuIndexForLocationIdentifier(
      const std::optional<std::string>& locationIdentifier);
  // A new copy of the card at `index` of allMPUs(), or null past the end.
  static std::shared_ptr<ZORMPUInfo> mpuInfoAtIndex(std::uint32_t index);
  // make_shared + initWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORMPUInfo> mpuInfoWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);
  // A card object over a record already in memory (tests, copies).
  static std::shared_ptr<ZORMPUInfo> mpuInfoWithRecord(const Record& record);

  // Copies the entry's "cpuid" record. False silently when there is none;
  // false after a log line when it is not exactly 160 bytes.
  bool initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);
  std::shared_ptr<ZORMPUInfo> copy() const;
  const Record& mpuData() const { return mpuData_; }

  std::int32_t infoVersion() const;
  // The control data set revision, e.g. "1.0.3a1" for 0x000103A1.
  std::string PIDDataSetRevision() const;
  std::string processorBinCode() const;
  std::string processorPartNumber() const;
  std::string processorLotNumber() const;
  std::string originalSerialNumber() const;
  std::string currentSerialNumber() const;
  std::string mainLogicBoardSerialNumber() const;
  std::uint32_t numberOfCPUsPerMPU() const;
  std::uint32_t processorCardSlotNumber() const;
  std::uint16_t diodeMScaling() const;
  std::int16_t diodeBOffset() const;
  // A null place is skipped.
  void getIntakeFanLimitsMin(std::uint16_t* min, std::uint16_t* max) const;
  void getExhaustFanLimitsMin(std::uint16_t* min, std::uint16_t* max) const;
  std::uint8_t targetTemperature() const;
  std::uint8_t maximumTemperature() const;

  PlistDictionary descriptionDictionary() const;
  std::string description() const;

  // A character field as text: only the printable ASCII bytes, in order,
  // without blanks and tabs at either end.
  static std::string textOfCharacterField(const std::uint8_t* bytes, std::size_t length);

 private:
  std::string textField(std::size_t offset, std::size_t length) const;

  Record mpuData_{};
};

}  // namespace zor

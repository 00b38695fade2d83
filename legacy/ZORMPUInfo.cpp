#include "legacy/ZORMPUInfo.h"

#include <algorithm>

#include "legacy/BigEndianRecord.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor {
namespace {

// Offsets of the fields the system uses in the card record.
constexpr std::size_t kVersion = 3;
constexpr std::size_t kDataRevision = 4;
constexpr std::size_t kProcessorBinCode = 8;
constexpr std::size_t kProcessorBinCodeLength = 3;
constexpr std::size_t kProcessorNum = 12;
constexpr std::size_t kProcessorCardSlot = 36;
constexpr std::size_t kTTarget = 40;
constexpr std::size_t kTMax = 41;
constexpr std::size_t kMDiode = 68;
constexpr std::size_t kBDiode = 70;
constexpr std::size_t kRMinIntakeFan = 76;
constexpr std::size_t kRMaxIntakeFan = 78;
constexpr std::size_t kRMinExhaustFan = 80;
constexpr std::size_t kRMaxExhaustFan = 82;
constexpr std::size_t kProcessorPartNum = 84;
constexpr std::size_t kProcessorPartNumLength = 8;
constexpr std::size_t kProcessorLotNum = 92;
constexpr std::size_t kOrigCardSernum = 96;
constexpr std::size_t kCurrCardSernum = 112;
constexpr std::size_t kCardSernumLength = 16;
constexpr std::size_t kMlbSernum = 128;
constexpr std::size_t kMlbSernumLength = 24;

bool isCardRecordService(const ZORIORegistryEntry& service) {
  return service.stringValueWithName("name") == "cpuid" && service.hasValueWithName("cpuid");
}

ZORIORegistryEntryList cardRecordServices() {
  ZORIORegistryEntryList found;
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("PPCI2CInterface"));
  if (!services) return found;
  for (auto& service : *services) {
    if (isCardRecordService(*service)) found.push_back(std::move(service));
  }
  return found;
}

}  // namespace

ZORMPUInfoList ZORMPUInfo::allMPUs() {
  ZORMPUInfoList cards;
  for (const auto& service : cardRecordServices()) {
    if (auto card = mpuInfoWithIORegistryEntry(service)) cards.push_back(std::move(card));
  }
  return cards;
}

std::uint32_t ZORMPUInfo::numberOfLocalUnits() {
  return static_cast<std::uint32_t>(cardRecordServices().size());
}

std::uint32_t ZORMPUInfo::mpuIndexForLocationIdentifier(
    const std::optional<std::string>& locationIdentifier) {
  if (!locationIdentifier || locationIdentifier->size() < 5 ||
      !locationIdentifier->starts_with("CPU ")) {
    return 0;
  }
  // Unsigned, so a character before "A" gives an index far beyond any card.
  auto fifth = static_cast<std::uint32_t>(static_cast<unsigned char>((*locationIdentifier)[4]));
  return fifth - static_cast<std::uint32_t>('A');
}

std::shared_ptr<ZORMPUInfo> ZORMPUInfo::mpuInfoAtIndex(std::uint32_t index) {
  ZORMPUInfoList cards = allMPUs();
  if (index >= cards.size()) return nullptr;
  return cards[index]->copy();
}

std::shared_ptr<ZORMPUInfo> ZORMPUInfo::mpuInfoWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto card = std::make_shared<ZORMPUInfo>();
  return card->initWithIORegistryEntry(entry) ? card : nullptr;
}

std::shared_ptr<ZORMPUInfo> ZORMPUInfo::mpuInfoWithRecord(const Record& record) {
  auto card = std::make_shared<ZORMPUInfo>();
  card->mpuData_ = record;
  return card;
}

bool ZORMPUInfo::initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry) return false;
  std::optional<PlistDictionary> properties = entry->properties();
  if (!properties) return false;
  auto record = properties->find("cpuid");
  if (record == properties->end()) return false;
  const PlistData* bytes = record->second.asData();
  std::size_t length = bytes != nullptr ? bytes->size() : 0;
  if (length != kRecordLength) {
    SystemLog::writeFormat("unexepcted length of MPU data: %u\n", static_cast<unsigned>(length));
    return false;
  }
  std::copy(bytes->begin(), bytes->end(), mpuData_.begin());
  return true;
}

std::shared_ptr<ZORMPUInfo> ZORMPUInfo::copy() const {
  return mpuInfoWithRecord(mpuData_);
}

std::string ZORMPUInfo::textOfCharacterField(const std::uint8_t* bytes, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] >= 0x20 && bytes[i] <= 0x7e) text.push_back(static_cast<char>(bytes[i]));
  }
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string ZORMPUInfo::textField(std::size_t offset, std::size_t length) const {
  auto field = BigEndianRecord(mpuData_).bytesAt(offset, length);
  return textOfCharacterField(field.data(), field.size());
}

std::int32_t ZORMPUInfo::infoVersion() const {
  return BigEndianRecord(mpuData_).uint8At(kVersion);
}

std::string ZORMPUInfo::PIDDataSetRevision() const {
  std::uint32_t revision = BigEndianRecord(mpuData_).uint32At(kDataRevision);
  return formatString(
      "%d.%d.%d%x%d", static_cast<int>((revision >> 16) & 0xfu),
      static_cast<int>((revision >> 12) & 0xfu), static_cast<int>((revision >> 8) & 0xfu),
      static_cast<unsigned>((revision >> 4) & 0xfu), static_cast<int>(revision & 0xfu));
}

std::string ZORMPUInfo::processorBinCode() const {
  return textField(kProcessorBinCode, kProcessorBinCodeLength);
}

std::string ZORMPUInfo::processorPartNumber() const {
  return textField(kProcessorPartNum, kProcessorPartNumLength);
}

std::string ZORMPUInfo::processorLotNumber() const {
  return formatString("%u", BigEndianRecord(mpuData_).uint32At(kProcessorLotNum));
}

std::string ZORMPUInfo::originalSerialNumber() const {
  return textField(kOrigCardSernum, kCardSernumLength);
}

std::string ZORMPUInfo::currentSerialNumber() const {
  return textField(kCurrCardSernum, kCardSernumLength);
}

std::string ZORMPUInfo::mainLogicBoardSerialNumber() const {
  return textField(kMlbSernum, kMlbSernumLength);
}

std::uint32_t ZORMPUInfo::numberOfCPUsPerMPU() const {
  return BigEndianRecord(mpuData_).uint8At(kProcessorNum);
}

std::uint32_t ZORMPUInfo::processorCardSlotNumber() const {
  return BigEndianRecord(mpuData_).uint8At(kProcessorCardSlot);
}

std::uint16_t ZORMPUInfo::diodeMScaling() const {
  return BigEndianRecord(mpuData_).uint16At(kMDiode);
}

std::int16_t ZORMPUInfo::diodeBOffset() const {
  return BigEndianRecord(mpuData_).int16At(kBDiode);
}

void ZORMPUInfo::getIntakeFanLimitsMin(std::uint16_t* min, std::uint16_t* max) const {
  BigEndianRecord record(mpuData_);
  if (min != nullptr) *min = record.uint16At(kRMinIntakeFan);
  if (max != nullptr) *max = record.uint16At(kRMaxIntakeFan);
}

void ZORMPUInfo::getExhaustFanLimitsMin(std::uint16_t* min, std::uint16_t* max) const {
  BigEndianRecord record(mpuData_);
  if (min != nullptr) *min = record.uint16At(kRMinExhaustFan);
  if (max != nullptr) *max = record.uint16At(kRMaxExhaustFan);
}

std::uint8_t ZORMPUInfo::targetTemperature() const {
  return BigEndianRecord(mpuData_).uint8At(kTTarget);
}

std::uint8_t ZORMPUInfo::maximumTemperature() const {
  return BigEndianRecord(mpuData_).uint8At(kTMax);
}

PlistDictionary ZORMPUInfo::descriptionDictionary() const {
  std::uint16_t intakeMin = 0, intakeMax = 0, exhaustMin = 0, exhaustMax = 0;
  getIntakeFanLimitsMin(&intakeMin, &intakeMax);
  getExhaustFanLimitsMin(&exhaustMin, &exhaustMax);
  return PlistDictionary{
      {"InformationVersion", PlistValue::integer(infoVersion())},
      {"PIDDataSetRevision", PIDDataSetRevision()},
      {"CPUBinCode", processorBinCode()},
      {"CPUPartNumber", processorPartNumber()},
      {"CPULotNumber", processorLotNumber()},
      {"OriginalSerial", originalSerialNumber()},
      {"CurrentSerial", currentSerialNumber()},
      {"MLBSerial", mainLogicBoardSerialNumber()},
      {"NumberOfCPUs", PlistValue::unsignedInteger(numberOfCPUsPerMPU())},
      {"SlotNumber", PlistValue::unsignedInteger(processorCardSlotNumber())},
      {"DiodeMScaling", PlistValue::unsignedInteger(diodeMScaling())},
      {"DiodeBOffset", PlistValue::integer(diodeBOffset())},
      {"IntakeFanMin", PlistValue::unsignedInteger(intakeMin)},
      {"IntakeFanMax", PlistValue::unsignedInteger(intakeMax)},
      {"ExhaustFanMin", PlistValue::unsignedInteger(exhaustMin)},
      {"ExhaustFanMax", PlistValue::unsignedInteger(exhaustMax)},
      {"TargetTemp", PlistValue::unsignedInteger(targetTemperature())},
      {"MaxTemp", PlistValue::unsignedInteger(maximumTemperature())},
  };
}

std::string ZORMPUInfo::description() const {
  std::uint16_t intakeMin = 0, intakeMax = 0, exhaustMin = 0, exhaustMax = 0;
  getIntakeFanLimitsMin(&intakeMin, &intakeMax);
  getExhaustFanLimitsMin(&exhaustMin, &exhaustMax);
  return formatString(
      "G5 MPU card information: Version %d, PID Dataset Revision %s, CPUs per card %u, slot "
      "number %u\nCPU Bin Code %s, part number %s, lot number %s, original serial number %s, "
      "current serial number %s, main logic board serial number %s\ndM %u, dB %d, Intake Fan "
      "Limits %u..%u, Exhaust Fan Limits %u..%u\nMaximum  Temperature %d, Target Temperature %d\n",
      infoVersion(), PIDDataSetRevision().c_str(), numberOfCPUsPerMPU(), processorCardSlotNumber(),
      processorBinCode().c_str(), processorPartNumber().c_str(), processorLotNumber().c_str(),
      originalSerialNumber().c_str(), currentSerialNumber().c_str(),
      mainLogicBoardSerialNumber().c_str(), static_cast<unsigned>(diodeMScaling()),
      static_cast<int>(diodeBOffset()), static_cast<unsigned>(intakeMin),
      static_cast<unsigned>(intakeMax), static_cast<unsigned>(exhaustMin),
      static_cast<unsigned>(exhaustMax), static_cast<int>(maximumTemperature()),
      static_cast<int>(targetTemperature()));
}

}  // namespace zor

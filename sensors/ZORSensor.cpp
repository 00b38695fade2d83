#include "sensors/ZORSensor.h"

#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "platform/SequentialArchiver.h"
#include "platform/StringFormat.h"
#include "sensors/ZORSensorDescription.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

bool isContinuationByte(unsigned char byte) {
  return (byte & 0xC0u) == 0x80u;
}

// UTF-8 orders by code point, UTF-16 by code unit: the two disagree only
// between U+E000..U+FFFF (lead bytes 0xEE, 0xEF) and the supplementary
// planes (lead bytes 0xF0..0xF4, surrogates 0xD800.. in UTF-16).
int utf16Rank(unsigned char lead) {
  if (lead >= 0xF0u && lead <= 0xF4u) return 0;
  if (lead == 0xEEu || lead == 0xEFu) return 1;
  return -1;
}

}  // namespace

int compareLiteral(std::string_view left, std::string_view right) {
  std::size_t common = std::min(left.size(), right.size());
  std::size_t i = 0;
  while (i < common && left[i] == right[i]) ++i;
  if (i == common) {
    if (left.size() == right.size()) return 0;
    return left.size() < right.size() ? -1 : 1;
  }
  // Both texts share the bytes before i, so the characters holding byte i start together.
  std::size_t start = i;
  while (start > 0 && isContinuationByte(static_cast<unsigned char>(left[start]))) --start;
  int leftRank = utf16Rank(static_cast<unsigned char>(left[start]));
  int rightRank = utf16Rank(static_cast<unsigned char>(right[start]));
  if (leftRank >= 0 && rightRank >= 0 && leftRank != rightRank)
    return leftRank < rightRank ? -1 : 1;
  return static_cast<unsigned char>(left[i]) < static_cast<unsigned char>(right[i]) ? -1 : 1;
}

const ZORSensorClass& ZORSensor::classObject() {
  static const ZORSensorClass object{"ZORSensor", &ZORSensor::allSensors};
  return object;
}

ZORSensor::ClassRegistry*& ZORSensor::registry() {
  static ClassRegistry* instance = nullptr;
  return instance;
}

void ZORSensor::load() {
  createClassList();
}

void ZORSensor::createClassList() {
  // Kept for the life of the process, as the classes it lists are.
  if (registry() == nullptr) registry() = new ClassRegistry();
}

void ZORSensor::registerSensorClass(const ZORSensorClass& sensorClass) {
  createClassList();
  registry()->registered.push_back(&sensorClass);
}

const std::vector<const ZORSensorClass*>& ZORSensor::knownSensorClasses() {
  createClassList();
  return registry()->registered;
}

void ZORSensor::declareSensorClass(const ZORSensorClass& sensorClass) {
  createClassList();
  registry()->declared.push_back(&sensorClass);
}

const ZORSensorClass* ZORSensor::sensorClassNamed(std::string_view name) {
  createClassList();
  if (name == classObject().name) return &classObject();
  for (const auto* list : {&registry()->registered, &registry()->declared}) {
    for (const ZORSensorClass* sensorClass : *list) {
      if (sensorClass->name == name) return sensorClass;
    }
  }
  return nullptr;
}

std::vector<std::shared_ptr<ZORSensor>> ZORSensor::sensorsOfClasses(bool skipSMART) {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  // Copied: a family's search must not see a registry that grows under it.
  std::vector<const ZORSensorClass*> classes = knownSensorClasses();
  std::set<std::string> read;  // hardware identities already listed
  for (const ZORSensorClass* sensorClass : classes) {
    if (skipSMART && sensorClass->name == "ZORSMARTTemperatureSensor") continue;
    // A family without its own search would recurse into this one; it contributes nothing.
    if (!sensorClass->allSensors || sensorClass == &classObject()) continue;
    for (auto& sensor : sensorClass->allSensors()) {
      if (!sensor) continue;
      std::string hardware = sensor->hardwareIdentity();
      if (!hardware.empty() && !read.insert(std::move(hardware)).second) continue;
      sensors.push_back(std::move(sensor));
    }
  }
  return sensors;
}

std::vector<std::shared_ptr<ZORSensor>> ZORSensor::allSensors() {
  return sensorsOfClasses(false);
}

std::vector<std::shared_ptr<ZORSensor>> ZORSensor::allNonSMARTSensors() {
  return sensorsOfClasses(true);
}

void ZORSensor::removeUnknownSensorEntriesFromDictionary(PlistDictionary* dictionary,
                                                         const PlistDictionary* reference) {
  if (dictionary == nullptr || reference == nullptr) return;
  std::erase_if(*dictionary,
                [reference](const auto& entry) { return reference->count(entry.first) == 0; });
}

std::string ZORSensor::description() {
  std::int32_t raw = rawValue();
  double converted = valueConverter()->valueForRawSensorValue(raw);
  return formatString(
      "<%s>: ID: %s Name: %s Location: %s type: %d quantity: %d precision: %g accuracy: %g (%x: %d "
      "--> %5.2f)\n",
      sensorClass().name.c_str(), uniqueIdentifier_.c_str(), sensorName_.c_str(),
      locationIdentifier_.c_str(), sensorType_, quantityType_, precision_, accuracy_,
      substituteIDForLocationIdentifier(), raw, converted);
}

int ZORSensor::compare(const ZORSensor& other) const {
  auto mine = static_cast<std::uint32_t>(quantityType_);
  auto theirs = static_cast<std::uint32_t>(other.quantityType_);
  if (mine != theirs) return mine < theirs ? -1 : 1;
  return compareLiteral(locationIdentifier_, other.locationIdentifier_);
}

std::size_t ZORSensor::hash() const {
  return std::hash<std::string>()(uniqueIdentifier_);
}

std::shared_ptr<ZORSensor> ZORSensor::copy() const {
  auto copied = std::make_shared<ZORSensor>();
  copied->uniqueIdentifier_ = uniqueIdentifier_;
  copied->locationIdentifier_ = locationIdentifier_;
  copied->sensorName_ = sensorName_;
  copied->sensorType_ = sensorType_;
  copied->quantityType_ = quantityType_;
  copied->precision_ = precision_;
  copied->accuracy_ = accuracy_;
  return copied;
}

void ZORSensor::encodeWithCoder(SequentialArchiver& coder) const {
  coder.encodeString(uniqueIdentifier_);
  coder.encodeString(locationIdentifier_);
  coder.encodeString(sensorName_);
  coder.encodeInt32(sensorType_);
  coder.encodeInt32(quantityType_);
  coder.encodeFloat(static_cast<float>(precision_));
  coder.encodeFloat(static_cast<float>(accuracy_));
}

bool ZORSensor::initWithCoder(SequentialArchiver& coder) {
  std::optional<std::string> unique, location, name;
  float precision = 0, accuracy = 0;
  if (!coder.decodeString(unique) || !coder.decodeString(location) || !coder.decodeString(name) ||
      !coder.decodeInt32(sensorType_) || !coder.decodeInt32(quantityType_) ||
      !coder.decodeFloat(precision) || !coder.decodeFloat(accuracy)) {
    return false;
  }
  // A none string has no place in a sensor; it reads as the empty text.
  uniqueIdentifier_ = unique.value_or("");
  locationIdentifier_ = location.value_or("");
  sensorName_ = name.value_or("");
  precision_ = precision;
  accuracy_ = accuracy;
  return true;
}

std::shared_ptr<ZORSensorDescription> ZORSensor::configurationDescription() const {
  return ZORSensorDescription::descriptionForSensor(this);
}

std::shared_ptr<ZORSensorValueConverter> ZORSensor::valueConverter() const {
  return std::make_shared<ZORSensorValueConverter>();
}

double ZORSensor::value() {
  return valueConverter()->valueForRawSensorValue(rawValue());
}

std::uint32_t ZORSensor::substituteIDForLocationIdentifier() const {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : locationIdentifier_) crc = (crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFFu];
  return crc;
}

}  // namespace zor

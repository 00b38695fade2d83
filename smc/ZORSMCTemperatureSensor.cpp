#include "smc/ZORSMCTemperatureSensor.h"

#include <cmath>
#include <limits>

#include "platform/Bundle.h"
#include "sensors/ZORSensorValueConverter.h"
#include "smc/ZORSMCKeyCatalogue.h"
#include "smc/ZORSystemManagementController.h"
#include "system/ZORMachineInfo.h"

namespace zor {
namespace {

constexpr const char* kKeyEntry = "SMCKey";
constexpr const char* kLocationEntry = "LocationID";
constexpr const char* kUniqueEntry = "UniqueID";
constexpr const char* kSensorNameKey = "Apple System Management Controller";
constexpr std::int32_t kTemperature = 1;

// The machine's model code, the prefix of which chooses some catalogue
// names; none when the machine does not tell its model.
std::optional<std::string> currentModelCode() {
  auto info = ZORMachineInfo::sharedMachineInfo();
  if (!info || info->appleModelCode().empty()) return std::nullopt;
  return info->appleModelCode();
}

const std::string* stringEntry(const PlistDictionary& description, const char* name) {
  auto it = description.find(name);
  return it == description.end() ? nullptr : it->second.asString();
}

}  // namespace

const ZORSensorClass& ZORSMCTemperatureSensor::classObject() {
  static const ZORSensorClass object{"ZORSMCTemperatureSensor",
                                     &ZORSMCTemperatureSensor::allSensors};
  return object;
}

void ZORSMCTemperatureSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORSMCTemperatureSensor::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  auto smc = ZORSystemManagementController::sharedSystemManagementController();
  if (!smc) return sensors;
  const std::optional<std::string> modelCode = currentModelCode();
  for (const std::string& key : smc->allPropertyKeys()) {
    if (!key.starts_with('T')) continue;
    auto value = smc->objectValueForPropertyWithKey(key);
    if (!value || !value->isNumber()) continue;
    auto description = knownSMCSensorDescriptionForKey(key, modelCode);
    if (!description) continue;
    if (auto sensor = sensorWithSensorDescription(description)) sensors.push_back(sensor);
  }
  return sensors;
}

std::optional<PlistDictionary> ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(
    const std::optional<std::string>& key) {
  return knownSMCSensorDescriptionForKey(key, currentModelCode());
}

std::optional<PlistDictionary> ZORSMCTemperatureSensor::knownSMCSensorDescriptionForKey(
    const std::optional<std::string>& key, const std::optional<std::string>& modelCode) {
  if (!key) return std::nullopt;
  auto location = ZORSMCKeyCatalogue::locationIdentifierForKey(*key, modelCode);
  auto unique = ZORSMCKeyCatalogue::uniqueIdentifierForKey(*key);
  if (!location || !unique) return std::nullopt;
  return PlistDictionary{{kKeyEntry, *key}, {kLocationEntry, *location}, {kUniqueEntry, *unique}};
}

std::shared_ptr<ZORSMCTemperatureSensor> ZORSMCTemperatureSensor::sensorWithSensorDescription(
    const std::optional<PlistDictionary>& description) {
  auto sensor = std::make_shared<ZORSMCTemperatureSensor>();
  if (!sensor->initWithSensorDescription(description)) return nullptr;
  return sensor;
}

bool ZORSMCTemperatureSensor::initWithSensorDescription(
    const std::optional<PlistDictionary>& description) {
  smc_ = ZORSystemManagementController::sharedSystemManagementController();
  if (!smc_ || !description) return false;
  const std::string* key = stringEntry(*description, kKeyEntry);
  const std::string* location = stringEntry(*description, kLocationEntry);
  const std::string* unique = stringEntry(*description, kUniqueEntry);
  if (key == nullptr) return false;
  smcKey_ = *key;
  auto value = smc_->objectValueForPropertyWithKey(smcKey_);
  if (!value || !value->isNumber()) return false;
  double number = *value->realValue();
  // NaN passes as well: only readings of 0 and below are left out.
  if (number <= 0.0) return false;
  // A description without the two identifiers keeps the base defaults.
  if (unique != nullptr) setUniqueIdentifier(*unique);
  if (location != nullptr) setLocationIdentifier(*location);
  setSensorName(Bundle::mainBundle().localizedString(kSensorNameKey, ""));
  setSensorType(1);
  setQuantityType(kTemperature);
  setPrecision(1.0, 0.0);
  return true;
}

std::int32_t ZORSMCTemperatureSensor::rawValue() {
  if (!smc_) return -1;
  auto value = smc_->objectValueForPropertyWithKey(smcKey_);
  if (!value || !value->isNumber()) return -1;
  std::int32_t degrees;
  if (value->isReal()) {
    double real = std::trunc(*value->realValue());
    // A float that is no number or does not fit is no reading.
    if (!(real >= std::numeric_limits<std::int32_t>::min() &&
          real <= std::numeric_limits<std::int32_t>::max())) {
      return -1;
    }
    degrees = static_cast<std::int32_t>(real);
  } else {
    // Integers wrap to 32 bits as the platform's numbers do.
    degrees = static_cast<std::int32_t>(static_cast<std::uint32_t>(*value->integerValue()));
  }
  if (degrees >= -127 && degrees <= -121) return -1;
  return degrees;
}

std::shared_ptr<ZORSensorValueConverter> ZORSMCTemperatureSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(0);
  return converter;
}

}  // namespace zor

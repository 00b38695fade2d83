#include "legacy/ZORHWSensor.h"

#include "platform/Bundle.h"
#include "platform/StringFormat.h"

namespace zor {

ZORIORegistrySensorEntryList ZORHWSensor::sensorEntriesOfType(const char* typeName) {
  auto entries = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
      std::string("IOHWSensor"), std::string(typeName), false);
  return entries ? std::move(*entries) : ZORIORegistrySensorEntryList{};
}

std::int32_t ZORHWSensor::rawValue() {
  return sensorEntry_ ? sensorEntry_->sensorValue() : -1;
}

bool ZORHWSensor::adoptSensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry,
                                   std::optional<std::string>* driverClassName) {
  if (!entry) return false;
  sensorEntry_ = entry;
  std::optional<std::string> driver;
  if (auto parent = entry->parentServiceEntry()) driver = parent->driverClassName();
  setUniqueIdentifier(formatString("hwsensor.%s.%d", printedDriverClassName(driver).c_str(),
                                   entry->sensorIdentificationNumber()));
  // A "location" that is no text leaves the sensor without a place (an empty key).
  setLocationIdentifier(entry->locationIdentification().value_or(""));
  setSensorType(1);
  if (driverClassName != nullptr) *driverClassName = std::move(driver);
  return true;
}

std::string ZORHWSensor::printedDriverClassName(const std::optional<std::string>& driverClassName) {
  return driverClassName.value_or("(null)");
}

std::string ZORHWSensor::localizedSensorName(const std::string& key) {
  return Bundle::mainBundle().localizedString(key, "");
}

}  // namespace zor

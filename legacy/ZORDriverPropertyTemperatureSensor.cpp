#include "legacy/ZORDriverPropertyTemperatureSensor.h"

#include "sensors/ZORSensorValueConverter.h"

namespace zor {

ZORDriverPropertyTemperatureSensor::ZORDriverPropertyTemperatureSensor(const Table& table)
    : table_(table) {
  setQuantityType(1);
}

ZORIORegistryEntryList ZORDriverPropertyTemperatureSensor::servicesWithProperty(
    const Table& table) {
  ZORIORegistryEntryList found;
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(table.serviceClass));
  if (!services) return found;
  for (auto& service : *services) {
    if (service->hasValueWithName(table.property)) found.push_back(std::move(service));
  }
  return found;
}

bool ZORDriverPropertyTemperatureSensor::initWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry || !entry->hasValueWithName(table_.property)) return false;
  sensorEntry_ = entry;
  setUniqueIdentifier(table_.uniqueIdentifier);
  setLocationIdentifier(table_.locationIdentifier);
  setSensorName(table_.sensorName);
  setSensorType(1);
  setPrecision(table_.precision, table_.accuracy);
  return true;
}

std::int32_t ZORDriverPropertyTemperatureSensor::rawValue() {
  return sensorEntry_ ? sensorEntry_->intValueWithName(table_.property) : -1;
}

std::shared_ptr<ZORSensorValueConverter> ZORDriverPropertyTemperatureSensor::valueConverter()
    const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(table_.conversionFunctionType);
  converter->setLinearFactor(table_.linearFactor);
  return converter;
}

}  // namespace zor

#include "legacy/ZORMDDTemperatureSensor.h"

namespace zor {

const ZORDriverPropertyTemperatureSensor::Table& ZORMDDTemperatureSensor::thermometerTable() {
  static const Table table{"AppleCPUThermo", "temperature", "apple.mdd.0", "CPU BOARD",
                           "Dallas DS 1775", 0.5,           2.0,           1,
                           0.00390625};  // 1/256 degree
  return table;
}

const ZORSensorClass& ZORMDDTemperatureSensor::classObject() {
  static const ZORSensorClass object{"ZORMDDTemperatureSensor",
                                     &ZORMDDTemperatureSensor::allSensors};
  return object;
}

void ZORMDDTemperatureSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORMDDTemperatureSensor::allSensors() {
  return sensorsOfTwin<ZORMDDTemperatureSensor>(thermometerTable());
}

std::shared_ptr<ZORMDDTemperatureSensor> ZORMDDTemperatureSensor::sensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto sensor = std::make_shared<ZORMDDTemperatureSensor>();
  return sensor->initWithIORegistryEntry(entry) ? sensor : nullptr;
}

}  // namespace zor

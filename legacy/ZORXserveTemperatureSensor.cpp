#include "legacy/ZORXserveTemperatureSensor.h"

namespace zor {

const ZORDriverPropertyTemperatureSensor::Table& ZORXserveTemperatureSensor::thermometerTable() {
  static const Table table{"AppleLM87",
                           "IntTemp",
                           "apple.lm87temp.0",
                           "Internal Ambient",
                           "National Semiconductor LM87",
                           1.0,
                           3.0,
                           0,
                           1.0};  // whole degrees
  return table;
}

const ZORSensorClass& ZORXserveTemperatureSensor::classObject() {
  static const ZORSensorClass object{"ZORXserveTemperatureSensor",
                                     &ZORXserveTemperatureSensor::allSensors};
  return object;
}

void ZORXserveTemperatureSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORXserveTemperatureSensor::allSensors() {
  return sensorsOfTwin<ZORXserveTemperatureSensor>(thermometerTable());
}

std::shared_ptr<ZORXserveTemperatureSensor> ZORXserveTemperatureSensor::sensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto sensor = std::make_shared<ZORXserveTemperatureSensor>();
  return sensor->initWithIORegistryEntry(entry) ? sensor : nullptr;
}

}  // namespace zor

#pragma once
// The internal ambient sensor of the Xserve's LM87 monitoring chip,
// published by the "AppleLM87" driver as its "IntTemp" property in whole
// degrees Celsius. Registered with the sensor-class registry.

#include <memory>
#include <vector>

#include "legacy/ZORDriverPropertyTemperatureSensor.h"

namespace zor {

class ZORXserveTemperatureSensor : public ZORDriverPropertyTemperatureSensor {
 public:
  static const Table& thermometerTable();

  ZORXserveTemperatureSensor() : ZORDriverPropertyTemperatureSensor(thermometerTable()) {}

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class.
  static void load();
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // make_shared + initWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORXserveTemperatureSensor> sensorWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
};

}  // namespace zor

#pragma once
// The processor-board thermometer (a DS1775) of the mirrored-drive-door
// towers, published by the "AppleCPUThermo" driver as its "temperature"
// property in 1/256 degree Celsius. Registered with the sensor-class registry.

#include <memory>
#include <vector>

#include "legacy/ZORDriverPropertyTemperatureSensor.h"

namespace zor {

class ZORMDDTemperatureSensor : public ZORDriverPropertyTemperatureSensor {
 public:
  static const Table& thermometerTable();

  ZORMDDTemperatureSensor() : ZORDriverPropertyTemperatureSensor(thermometerTable()) {}

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class.
  static void load();
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // make_shared + initWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORMDDTemperatureSensor> sensorWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
};

}  // namespace zor

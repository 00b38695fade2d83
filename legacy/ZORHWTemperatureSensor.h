#pragma once
// A temperature sensor published as an IOHWSensor service of type
// "temperature" (I2C thermometers, the power management unit, graphics
// cards of older machines). The parent service's driver class decides the
// sensor name, precision and accuracy (its driver table). Readings are 16.16
// fixed-point degrees Celsius. Registered with the sensor-class registry.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "legacy/ZORHWSensor.h"

namespace zor {

class ZORHWTemperatureSensor : public ZORHWSensor {
 public:
  // One row of the driver table; a row without precision leaves it unset.
  struct DriverRow {
    const char* driverClassName;  // null on the last row: any other driver
    const char* sensorName;
    bool localized;
    double precision;
    double accuracy;
  };
  static std::span<const DriverRow> driverTable();

  // `init`: quantity type 1 (temperature).
  ZORHWTemperatureSensor();

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class.
  static void load();
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // make_shared + initWithIORegistrySensorEntry; null on failure.
  static std::shared_ptr<ZORHWTemperatureSensor> sensorWithIORegistrySensorEntry(
      const std::shared_ptr<ZORIORegistrySensorEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // False only for a null entry.
  bool initWithIORegistrySensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry);
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return "C"; }

 private:
  void _setSensorDataAccordingToDriverClassName(const std::optional<std::string>& driverClassName);
};

}  // namespace zor

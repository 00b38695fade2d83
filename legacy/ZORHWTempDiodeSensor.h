#pragma once
// A thermal diode published as an IOHWSensor service of type "temp" (the
// SMU's processor diodes, graphics-card and I2C diodes). The parent
// service's driver class decides the name and settings (its driver table);
// diodes behind the SMU monitor are calibrated with the SMU's diode slope and
// offset, and graphics-card diodes get identifiers that stay distinct and
// stable across scans. Readings are 16.16 fixed-point degrees Celsius.
// Registered with the sensor-class registry.

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "legacy/ZORHWSensor.h"

namespace zor {

class ZORHWTempDiodeSensor : public ZORHWSensor {
 public:
  enum class DriverAction { None, SMUCalibration, DisambiguateIdentifier };
  // One row of the driver table; a row without precision leaves it unset.
  struct DriverRow {
    const char* driverClassName;  // null on the last row: any other driver
    const char* sensorName;
    bool localized;
    double precision;
    double accuracy;
    DriverAction action;
  };
  static std::span<const DriverRow> driverTable();

  // `init`: quantity type 1, no calibration (m 1, b 0).
  ZORHWTempDiodeSensor();

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class.
  static void load();
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  static std::shared_ptr<ZORHWTempDiodeSensor> sensorWithIORegistrySensorEntry(
      const std::shared_ptr<ZORIORegistrySensorEntry>& entry);
  // Identifiers handed to graphics-card diodes -> the "sensor-id" that
  // claimed each; lives for the process and only grows.
  static std::map<std::string, std::int32_t>& disambiguatedSensorIdentifiers();

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // False only for a null entry.
  bool initWithIORegistrySensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry);
  // Calibrated when the SMU gave a calibration; -1 when there is no reading.
  std::int32_t rawValue() override;
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return "C"; }

  std::uint32_t mScaling() const { return mScaling_; }
  std::int32_t bOffset() const { return bOffset_; }
  bool useSMU() const { return useSMU_; }

  // The SMU calibration of a reading r: b x 1024 + 2 x ((r x m mod 2^32) >> 3), mod 2^32.
  static std::int32_t calibratedValue(std::int32_t reading, std::uint32_t mScaling,
                                      std::int32_t bOffset);

 private:
  void applySMUCalibration();
  void disambiguateIdentifier(const std::string& driverClassName);

  std::uint32_t mScaling_ = 1;
  std::int32_t bOffset_ = 0;
  bool useSMU_ = false;
};

}  // namespace zor

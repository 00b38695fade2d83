#pragma once
// The channels of an analog/digital converter published as IOHWSensor
// services of type "adc". Scanning the registry yields the G5 processor
// temperature sensors for the diode channels of AD7417 converters; a caller
// that makes a converter sensor from an "adc" entry itself gets a voltage or
// current sensor whose quantity and scale come from the channel table.
// Registered with the sensor-class registry.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "legacy/ZORHWSensor.h"

namespace zor {

class ZORAnalogDigitalConverter : public ZORHWSensor {
 public:
  // One row of the AD7417 channel table: the first row whose text occurs in
  // the location decides.
  struct ChannelRow {
    const char* locationContains;
    std::int32_t quantityType;
    double conversionFactor;  // volts or amperes per raw unit
  };
  static std::span<const ChannelRow> channelTable();

  // `init`: conversion factor 1.0, quantity type unchanged.
  ZORAnalogDigitalConverter() = default;

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class.
  static void load();
  // The G5 processor temperature sensors of the AD7417 diode channels (no
  // voltage or current sensors).
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  static std::shared_ptr<ZORAnalogDigitalConverter> sensorWithIORegistrySensorEntry(
      const std::shared_ptr<ZORIORegistrySensorEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // False only for a null entry. Set up by the base, so the conversion
  // factor is 0 until the channel table gives one.
  bool initWithIORegistrySensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry);
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  // "V" for voltages, "A" for currents, else the base's unit.
  std::string unit() const override;
  double conversionFactor() const { return conversionFactor_; }

 private:
  void _setSensorDataAccordingToDriverClassName(const std::optional<std::string>& driverClassName);

  double conversionFactor_ = 1.0;
};

}  // namespace zor

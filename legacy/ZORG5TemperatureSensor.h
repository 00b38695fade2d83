#pragma once
// The processor temperature of a G5 processor card: the diode channel of the
// card's AD7417 converter, converted with the diode calibration from the
// card's own data record. Not registered with the sensor-class registry: the
// analog/digital converter family creates these sensors when it scans its
// channels.

#include <memory>
#include <string>

#include "legacy/ZORHWSensor.h"
#include "legacy/ZORMPUInfo.h"

namespace zor {

class ZORG5TemperatureSensor : public ZORHWSensor {
 public:
  // `init`: quantity type 1, no entry and no card.
  ZORG5TemperatureSensor();

  static const ZORSensorClass& classObject();
  static std::shared_ptr<ZORG5TemperatureSensor> sensorWithIORegistrySensorEntry(
      const std::shared_ptr<ZORIORegistrySensorEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // False for a null entry, a channel of any driver but the AD7417's, or a
  // location whose card is not there.
  bool initWithIORegistrySensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry);
  // (m x r + b x 4096) / 2^18 with the card's m and b.
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return "C"; }
  // This sensor's copy of its card's record.
  const std::shared_ptr<ZORMPUInfo>& mpuInfo() const { return mpuInfo_; }

  // The sensor's line followed by its card's description.
  std::string description();

 private:
  std::shared_ptr<ZORMPUInfo> mpuInfo_;
};

}  // namespace zor

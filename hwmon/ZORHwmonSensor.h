#pragma once
// A sensor of the Linux kernel's hardware-monitor chips: one temperature,
// voltage, current, power, fan or frequency channel, published by the
// platform as a "ZORHwmonChannel" registry entry (see
// platform/linux/HwmonEntries.h) and read afresh from its "HwmonValue" on
// every reading. The entry names the sensor; the channel's kind fixes the
// quantity type, unit, precision and scale. Registered with the
// sensor-class registry by the plug-in load function.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "sensors/ZORSensor.h"

namespace zor {

class ZORHwmonSensor : public ZORSensor {
 public:
  // What a channel kind becomes.
  struct Kind {
    const char* name;  // "HwmonKind": "temp", "in", ...
    std::int32_t quantityType;
    const char* unit;
    double linearFactor;  // entry units to the unit: 0.001 for millidegrees
    double precision;
  };

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the class with the sensor-class registry.
  static void load();
  // One sensor per channel entry of a known kind, in registry order.
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();

  // False for a null entry, one without identity or location, or of an unknown kind.
  bool initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // The channel's "HwmonValue"; -1 when it has none.
  std::int32_t rawValue() override;
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return kind_ != nullptr ? kind_->unit : " "; }
  // The entry's "HwmonMax" as upper limit (its "HwmonCrit" when it has no
  // "HwmonMax") and its "HwmonCrit" as critical limit, read when the sensor was made.
  SensorLimits hardwareLimits() const override { return limits_; }
  // The SMC key of an applesmc channel ("SMCKey"): the SMC family, registered
  // first, lists that key, so the sensor model leaves this channel out.
  std::string hardwareIdentity() const override {
    return smcKey_.empty() ? std::string() : hardwareIdentityOfSMCKey(smcKey_);
  }

 private:
  std::shared_ptr<ZORIORegistryEntry> entry_;
  const Kind* kind_ = nullptr;
  std::string smcKey_;
  SensorLimits limits_;
};

}  // namespace zor

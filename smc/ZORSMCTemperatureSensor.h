#pragma once
// The sensor family of the SMC's temperature keys. Discovery lists the keys
// of the shared SMC connection, keeps the "T" keys that now read a positive
// number and that the key catalogue names, and makes one sensor per key.
// Each sensor reads its key through the shared connection, whose cache
// keeps the SMC from being asked more than once per expiry period. Raw
// values are whole degrees Celsius.
//
// Objects are made in two steps: make_shared, then initWithSensorDescription;
// sensorWithSensorDescription does both and gives null on failure.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PropertyList.h"
#include "sensors/ZORSensor.h"

namespace zor {

class ZORSystemManagementController;

class ZORSMCTemperatureSensor : public ZORSensor {
 public:
  ZORSMCTemperatureSensor() = default;

  // The family's class object ("ZORSMCTemperatureSensor").
  static const ZORSensorClass& classObject();
  // Class-load hook: registers the family with ZORSensor.
  static void load();
  // One sensor per known SMC temperature key that reads above 0 now.
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // {"SMCKey", "LocationID", "UniqueID"} for a key the catalogue knows on
  // this machine, or null.
  static std::optional<PlistDictionary> knownSMCSensorDescriptionForKey(
      const std::optional<std::string>& key);
  // The same for the machine with `modelCode`.
  static std::optional<PlistDictionary> knownSMCSensorDescriptionForKey(
      const std::optional<std::string>& key, const std::optional<std::string>& modelCode);
  // make_shared + initWithSensorDescription; null when that fails.
  static std::shared_ptr<ZORSMCTemperatureSensor> sensorWithSensorDescription(
      const std::optional<PlistDictionary>& description);

  // Holds the shared controller and takes the description's key; false
  // without a controller or description, or when the key does not read a
  // number above 0 now.
  bool initWithSensorDescription(const std::optional<PlistDictionary>& description);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // Whole degrees, truncated toward zero; -1 when the key gives no number
  // or a reading from -127 to -121 (the SMC's marks for a missing sensor).
  std::int32_t rawValue() override;
  // The identity: the value is the raw value.
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return "C"; }
  // The key it reads: a generic hardware-monitor channel of the same key is not listed again.
  std::string hardwareIdentity() const override {
    return smcKey_ ? hardwareIdentityOfSMCKey(*smcKey_) : std::string();
  }

  const std::shared_ptr<ZORSystemManagementController>& smc() const { return smc_; }
  std::optional<std::string> smcKey() const { return smcKey_; }

 private:
  std::shared_ptr<ZORSystemManagementController> smc_;
  std::optional<std::string> smcKey_;
};

}  // namespace zor

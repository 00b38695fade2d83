#pragma once
// A detached record of one sensor's configuration (identity, names, unit,
// kinds, precision), taken at one moment. It holds no hardware connection,
// so it can be copied, archived and sent to another process by value. Made
// by ZORSensor::configurationDescription(); immutable once made.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Archivable.h"

namespace zor {

class ZORSensor;

class ZORSensorDescription : public Archivable {
 public:
  // All fields at their defaults: no strings, numbers 0.
  ZORSensorDescription() = default;
  // A description of `sensor`, or null when there is no sensor.
  static std::shared_ptr<ZORSensorDescription> descriptionForSensor(const ZORSensor* sensor);

  std::string description() const;
  std::shared_ptr<ZORSensorDescription> copy() const;

  std::string archiveClassName() const override { return "ZORSensorDescription"; }
  // Precision and accuracy keep all 64 bits here.
  void encodeWithCoder(SequentialArchiver& coder) const override;
  bool initWithCoder(SequentialArchiver& coder) override;
  std::shared_ptr<Archivable> replacementObjectForPortCoder(PortCoder& coder) override;

  std::optional<std::string> localIdentifier() const { return localIdentifier_; }
  std::optional<std::string> locationIdentifier() const { return locationIdentifier_; }
  std::optional<std::string> sensorName() const { return sensorName_; }
  std::optional<std::string> unit() const { return unit_; }
  std::int32_t sensorType() const { return sensorType_; }
  std::int32_t quantityType() const { return quantityType_; }
  double precision() const { return precision_; }
  double accuracy() const { return accuracy_; }
  std::uint32_t substituteIdentification() const { return substituteIdentification_; }

 private:
  std::optional<std::string> localIdentifier_;
  std::optional<std::string> locationIdentifier_;
  std::optional<std::string> sensorName_;
  std::optional<std::string> unit_;
  std::int32_t sensorType_ = 0;
  std::int32_t quantityType_ = 0;
  double precision_ = 0.0;
  double accuracy_ = 0.0;
  std::uint32_t substituteIdentification_ = 0;
};

}  // namespace zor

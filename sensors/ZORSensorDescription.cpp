#include "sensors/ZORSensorDescription.h"

#include "platform/SequentialArchiver.h"
#include "platform/StringFormat.h"
#include "sensors/ZORSensor.h"

namespace zor {
namespace {

// How the platform prints an absent object in a "%@" slot.
const char* textOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : "(null)";
}

}  // namespace

std::shared_ptr<ZORSensorDescription> ZORSensorDescription::descriptionForSensor(
    const ZORSensor* sensor) {
  if (sensor == nullptr) return nullptr;
  auto made = std::make_shared<ZORSensorDescription>();
  made->localIdentifier_ = sensor->uniqueIdentifier();
  made->locationIdentifier_ = sensor->locationIdentifier();
  made->sensorName_ = sensor->sensorName();
  made->sensorType_ = sensor->sensorType();
  made->quantityType_ = sensor->quantityType();
  made->precision_ = sensor->precision();
  made->accuracy_ = sensor->accuracy();
  made->unit_ = sensor->unit();
  made->substituteIdentification_ = sensor->substituteIDForLocationIdentifier();
  return made;
}

std::string ZORSensorDescription::description() const {
  return formatString(
      "local identifier: '%s' location identifier: '%s' sensor name: '%s' unit: '%s' type: %d "
      "quantity: %d precision: %g accuracy: %g substitute ID: %u",
      textOrNull(localIdentifier_), textOrNull(locationIdentifier_), textOrNull(sensorName_),
      textOrNull(unit_), sensorType_, quantityType_, precision_, accuracy_,
      substituteIdentification_);
}

std::shared_ptr<ZORSensorDescription> ZORSensorDescription::copy() const {
  return std::make_shared<ZORSensorDescription>(*this);
}

void ZORSensorDescription::encodeWithCoder(SequentialArchiver& coder) const {
  coder.encodeString(localIdentifier_);
  coder.encodeString(locationIdentifier_);
  coder.encodeString(sensorName_);
  coder.encodeString(unit_);
  coder.encodeInt32(sensorType_);
  coder.encodeInt32(quantityType_);
  coder.encodeDouble(precision_);
  coder.encodeDouble(accuracy_);
  coder.encodeUInt32(substituteIdentification_);
}

bool ZORSensorDescription::initWithCoder(SequentialArchiver& coder) {
  *this = ZORSensorDescription();
  return coder.decodeString(localIdentifier_) && coder.decodeString(locationIdentifier_) &&
         coder.decodeString(sensorName_) && coder.decodeString(unit_) &&
         coder.decodeInt32(sensorType_) && coder.decodeInt32(quantityType_) &&
         coder.decodeDouble(precision_) && coder.decodeDouble(accuracy_) &&
         coder.decodeUInt32(substituteIdentification_);
}

std::shared_ptr<Archivable> ZORSensorDescription::replacementObjectForPortCoder(PortCoder& coder) {
  return replacementByCopyUnlessByref(coder);
}

}  // namespace zor

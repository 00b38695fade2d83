#include "legacy/ZORG5TemperatureSensor.h"

#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr double kDiodeDivisor = 262144.0;  // 2^18
constexpr std::int32_t kDiodeOffsetShift = 12;

}  // namespace

ZORG5TemperatureSensor::ZORG5TemperatureSensor() {
  setQuantityType(1);
}

const ZORSensorClass& ZORG5TemperatureSensor::classObject() {
  // No search of its own: the converter family makes these sensors.
  static const ZORSensorClass object{"ZORG5TemperatureSensor", nullptr};
  return object;
}

std::shared_ptr<ZORG5TemperatureSensor> ZORG5TemperatureSensor::sensorWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  auto sensor = std::make_shared<ZORG5TemperatureSensor>();
  return sensor->initWithIORegistrySensorEntry(entry) ? sensor : nullptr;
}

bool ZORG5TemperatureSensor::initWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  std::optional<std::string> driver;
  if (!adoptSensorEntry(entry, &driver)) return false;
  if (driver != "AppleAD741x") return false;
  setSensorName("Analog Devices AD7417");
  setQuantityType(1);
  mpuInfo_ = ZORMPUInfo::mpuInfoAtIndex(
      ZORMPUInfo::mpuIndexForLocationIdentifier(entry->locationIdentification()));
  return mpuInfo_ != nullptr;
}

std::shared_ptr<ZORSensorValueConverter> ZORG5TemperatureSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(2);
  converter->setLinearFactor(kDiodeDivisor);
  if (mpuInfo_) {
    converter->setMScaling(mpuInfo_->diodeMScaling());
    converter->setBOffset(mpuInfo_->diodeBOffset());
  }
  converter->setShiftValue(kDiodeOffsetShift);
  return converter;
}

std::string ZORG5TemperatureSensor::description() {
  std::string text = ZORSensor::description();
  if (mpuInfo_) text += mpuInfo_->description();
  return text;
}

}  // namespace zor

#include "legacy/ZORHWTemperatureSensor.h"

#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr double kFixedPoint16 = 1.0 / 65536.0;

// Precision and accuracy in degrees; 0 where the driver declares none.
constexpr ZORHWTemperatureSensor::DriverRow kDrivers[] = {
    {"AppleADM103x", "Analog Devices ADM1030/1", false, 0.25, 3.0},
    {"AppleADT746x", "Analog Devices ADT7460", false, 0.25, 3.0},
    {"AppleAD741x", "Analog Devices AD7417", false, 0.25, 3.0},
    {"IOI2CADT746x", "Analog Devices AD746x", false, 0.25, 2.0},
    {"IOI2CLM7x", "National Semiconductor LM7x", false, 0.25, 2.0},
    {"AppleLM7x", "National Semiconductor LM7x", false, 0.25, 2.0},
    {"AppleMaxim6690", "Maxim MAX6690", false, 0.125, 3.5},
    {"IOI2CMaxim6690", "Maxim MAX6690", false, 0.125, 3.5},
    {"ApplePMU", "Apple Power Management Unit", true, 0.0, 0.0},
    {"IONDRVFramebuffer", "Legacy support for graphics card", true, 0.0, 0.0},
    {nullptr, "Unknown Temperature Sensor", true, 0.0, 0.0},
};

}  // namespace

std::span<const ZORHWTemperatureSensor::DriverRow> ZORHWTemperatureSensor::driverTable() {
  return kDrivers;
}

ZORHWTemperatureSensor::ZORHWTemperatureSensor() {
  setQuantityType(1);
}

const ZORSensorClass& ZORHWTemperatureSensor::classObject() {
  static const ZORSensorClass object{"ZORHWTemperatureSensor", &ZORHWTemperatureSensor::allSensors};
  return object;
}

void ZORHWTemperatureSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORHWTemperatureSensor::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  for (const auto& entry : sensorEntriesOfType("temperature")) {
    if (auto sensor = sensorWithIORegistrySensorEntry(entry)) sensors.push_back(std::move(sensor));
  }
  return sensors;
}

std::shared_ptr<ZORHWTemperatureSensor> ZORHWTemperatureSensor::sensorWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  auto sensor = std::make_shared<ZORHWTemperatureSensor>();
  return sensor->initWithIORegistrySensorEntry(entry) ? sensor : nullptr;
}

bool ZORHWTemperatureSensor::initWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  std::optional<std::string> driver;
  if (!adoptSensorEntry(entry, &driver)) return false;
  _setSensorDataAccordingToDriverClassName(driver);
  return true;
}

void ZORHWTemperatureSensor::_setSensorDataAccordingToDriverClassName(
    const std::optional<std::string>& driverClassName) {
  for (const DriverRow& row : kDrivers) {
    if (row.driverClassName != nullptr && driverClassName != row.driverClassName) continue;
    setSensorName(row.localized ? localizedSensorName(row.sensorName) : row.sensorName);
    if (row.precision != 0.0) setPrecision(row.precision, row.accuracy);
    return;
  }
}

std::shared_ptr<ZORSensorValueConverter> ZORHWTemperatureSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(1);
  converter->setLinearFactor(kFixedPoint16);
  return converter;
}

}  // namespace zor

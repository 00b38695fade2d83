#include "legacy/ZORHWTempDiodeSensor.h"

#include "legacy/ZORSMUInfo.h"
#include "platform/StringFormat.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr double kFixedPoint16 = 1.0 / 65536.0;
using Action = ZORHWTempDiodeSensor::DriverAction;

constexpr ZORHWTempDiodeSensor::DriverRow kDrivers[] = {
    {"AppleSMUMonitor", "Apple System Management Unit", true, 0.0, 0.0, Action::SMUCalibration},
    {"NVDA", "nVidia Graphics Card", true, 0.0, 0.0, Action::DisambiguateIdentifier},
    {"AppleLM8x", "National Semiconductor LM8x", false, 1.0, 4.0, Action::None},
    {"IOI2CMaxim1631", "Maxim/Dallas DS1631", false, 0.0625, 1.0, Action::None},
    {"IOI2CSMUSat", "Apple System Management Unit", true, 0.0, 0.0, Action::None},
    {nullptr, "Unknown Temperature Diode Sensor", true, 0.0, 0.0, Action::None},
};

}  // namespace

std::span<const ZORHWTempDiodeSensor::DriverRow> ZORHWTempDiodeSensor::driverTable() {
  return kDrivers;
}

ZORHWTempDiodeSensor::ZORHWTempDiodeSensor() {
  setQuantityType(1);
}

const ZORSensorClass& ZORHWTempDiodeSensor::classObject() {
  static const ZORSensorClass object{"ZORHWTempDiodeSensor", &ZORHWTempDiodeSensor::allSensors};
  return object;
}

void ZORHWTempDiodeSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::map<std::string, std::int32_t>& ZORHWTempDiodeSensor::disambiguatedSensorIdentifiers() {
  static auto* identifiers = new std::map<std::string, std::int32_t>();
  return *identifiers;
}

std::vector<std::shared_ptr<ZORSensor>> ZORHWTempDiodeSensor::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  for (const auto& entry : sensorEntriesOfType("temp")) {
    if (auto sensor = sensorWithIORegistrySensorEntry(entry)) sensors.push_back(std::move(sensor));
  }
  return sensors;
}

std::shared_ptr<ZORHWTempDiodeSensor> ZORHWTempDiodeSensor::sensorWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  auto sensor = std::make_shared<ZORHWTempDiodeSensor>();
  return sensor->initWithIORegistrySensorEntry(entry) ? sensor : nullptr;
}

bool ZORHWTempDiodeSensor::initWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  std::optional<std::string> driver;
  if (!adoptSensorEntry(entry, &driver)) return false;
  for (const DriverRow& row : kDrivers) {
    if (row.driverClassName != nullptr && driver != row.driverClassName) continue;
    setSensorName(row.localized ? localizedSensorName(row.sensorName) : row.sensorName);
    if (row.precision != 0.0) setPrecision(row.precision, row.accuracy);
    if (row.action == Action::SMUCalibration) applySMUCalibration();
    if (row.action == Action::DisambiguateIdentifier) disambiguateIdentifier(*driver);
    break;
  }
  return true;
}

void ZORHWTempDiodeSensor::applySMUCalibration() {
  ZORSMUInfoList smus = ZORSMUInfo::allSMUs();
  // Without an SMU the diode is read uncalibrated.
  if (smus.empty()) return;
  useSMU_ = true;
  mScaling_ = smus.front()->mDiodeCalibration();
  bOffset_ = smus.front()->bDiodeCalibration();
}

void ZORHWTempDiodeSensor::disambiguateIdentifier(const std::string& driverClassName) {
  // Graphics drivers number their diodes alike; the location's substitute
  // number, stepped past identifiers that other diodes claimed, keeps them apart.
  const std::int32_t sensorID = sensorEntry()->sensorIdentificationNumber();
  std::map<std::string, std::int32_t>& claimed = disambiguatedSensorIdentifiers();
  std::uint32_t substitute = substituteIDForLocationIdentifier();
  std::string candidate;
  for (;;) {
    candidate = formatString("hwsensor.%s.%u", driverClassName.c_str(), substitute);
    auto it = claimed.find(candidate);
    if (it == claimed.end() || it->second == sensorID) break;
    ++substitute;  // unsigned: wraps past 0xFFFFFFFF
  }
  claimed[candidate] = sensorID;
  setUniqueIdentifier(std::move(candidate));
}

std::int32_t ZORHWTempDiodeSensor::calibratedValue(std::int32_t reading, std::uint32_t mScaling,
                                                   std::int32_t bOffset) {
  const std::uint32_t q = (static_cast<std::uint32_t>(reading) * mScaling) >> 3;
  const std::uint32_t result = static_cast<std::uint32_t>(bOffset) * 1024u + 2u * q;
  return static_cast<std::int32_t>(result);
}

std::int32_t ZORHWTempDiodeSensor::rawValue() {
  std::int32_t reading = ZORHWSensor::rawValue();
  // No reading stays no reading: calibrating -1 would turn it into a plausible temperature.
  if (!useSMU_ || reading == -1) return reading;
  return calibratedValue(reading, mScaling_, bOffset_);
}

std::shared_ptr<ZORSensorValueConverter> ZORHWTempDiodeSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(1);
  converter->setLinearFactor(kFixedPoint16);
  return converter;
}

}  // namespace zor

#include "legacy/ZORAnalogDigitalConverter.h"

#include "legacy/ZORG5TemperatureSensor.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr const char* kAD7417 = "AppleAD741x";

// The converter's full scale spread over its 10 bits, per channel wiring.
constexpr ZORAnalogDigitalConverter::ChannelRow kChannels[] = {
    {"AD7417 AD2", 3, 0.01220703125},  // 1/81.92 A
    {"AD7417 AD3", 2, 0.00244140625},  // 1/409.6 V
    {"AD7417 AD4", 3, 0.1220703125},   // 1/8.192 A
    {"CPU A 12V CURR", 3, 0.01220703125}, {"CPU A VCORE", 2, 0.00244140625},
    {"CPU A CORE CURR", 3, 0.1220703125},
};

bool isProcessorDiodeChannel(const ZORIORegistrySensorEntry& entry) {
  std::optional<std::string> location = entry.locationIdentification();
  if (!location) return false;
  return location->find("AD7417 AD1") != std::string::npos ||
         location->find("DIODE TEMP") != std::string::npos;
}

}  // namespace

std::span<const ZORAnalogDigitalConverter::ChannelRow> ZORAnalogDigitalConverter::channelTable() {
  return kChannels;
}

const ZORSensorClass& ZORAnalogDigitalConverter::classObject() {
  static const ZORSensorClass object{"ZORAnalogDigitalConverter",
                                     &ZORAnalogDigitalConverter::allSensors};
  return object;
}

void ZORAnalogDigitalConverter::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORAnalogDigitalConverter::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  for (const auto& entry : sensorEntriesOfType("adc")) {
    std::shared_ptr<ZORIORegistryEntry> parent = entry->parentServiceEntry();
    if (!parent || parent->driverClassName() != kAD7417) continue;
    if (!isProcessorDiodeChannel(*entry)) continue;
    if (auto sensor = ZORG5TemperatureSensor::sensorWithIORegistrySensorEntry(entry)) {
      sensors.push_back(std::move(sensor));
    }
  }
  return sensors;
}

std::shared_ptr<ZORAnalogDigitalConverter>
ZORAnalogDigitalConverter::sensorWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  auto sensor = std::make_shared<ZORAnalogDigitalConverter>();
  return sensor->initWithIORegistrySensorEntry(entry) ? sensor : nullptr;
}

bool ZORAnalogDigitalConverter::initWithIORegistrySensorEntry(
    const std::shared_ptr<ZORIORegistrySensorEntry>& entry) {
  // Set up through the base's initialisation, which knows no conversion factor.
  conversionFactor_ = 0.0;
  std::optional<std::string> driver;
  if (!adoptSensorEntry(entry, &driver)) return false;
  _setSensorDataAccordingToDriverClassName(driver);
  return true;
}

void ZORAnalogDigitalConverter::_setSensorDataAccordingToDriverClassName(
    const std::optional<std::string>& driverClassName) {
  if (driverClassName != kAD7417) {
    setSensorName(localizedSensorName("Unknown Analog/Digital Converter"));
    return;
  }
  setSensorName("Analog Devices AD7417");
  const std::string location = locationIdentifier();
  for (const ChannelRow& row : kChannels) {
    if (location.find(row.locationContains) == std::string::npos) continue;
    setQuantityType(row.quantityType);
    conversionFactor_ = row.conversionFactor;
    return;
  }
  setSensorName(localizedSensorName("Unknown Analog Devices AD7417 location"));
}

std::shared_ptr<ZORSensorValueConverter> ZORAnalogDigitalConverter::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(1);
  converter->setLinearFactor(conversionFactor_);
  return converter;
}

std::string ZORAnalogDigitalConverter::unit() const {
  if (quantityType() == 2) return "V";
  if (quantityType() == 3) return "A";
  return ZORSensor::unit();
}

}  // namespace zor

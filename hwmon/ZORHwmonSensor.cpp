#include "hwmon/ZORHwmonSensor.h"

#include <string_view>

#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr const char* kChannelClass = "ZORHwmonChannel";

// Entries publish millidegrees, millivolts, milliamperes, milliwatts, RPM and
// kilohertz. Precisions: tenths of a degree, millivolts and milliamperes (the
// kernel's steps), tenths of a watt, whole RPM and whole MHz.
constexpr ZORHwmonSensor::Kind kKinds[] = {
    {"temp", 1, "C", 0.001, 0.1},  {"in", 2, "V", 0.001, 0.001}, {"curr", 3, "A", 0.001, 0.001},
    {"power", 4, "W", 0.001, 0.1}, {"fan", 6, "RPM", 1.0, 1.0},  {"freq", 13, "MHz", 0.001, 1.0},
};

const ZORHwmonSensor::Kind* kindNamed(std::string_view name) {
  for (const auto& kind : kKinds) {
    if (name == kind.name) return &kind;
  }
  return nullptr;
}

}  // namespace

const ZORSensorClass& ZORHwmonSensor::classObject() {
  static const ZORSensorClass object{"ZORHwmonSensor", &ZORHwmonSensor::allSensors};
  return object;
}

void ZORHwmonSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORHwmonSensor::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(kChannelClass));
  if (!services) return sensors;
  for (const auto& service : *services) {
    auto sensor = std::make_shared<ZORHwmonSensor>();
    if (sensor->initWithIORegistryEntry(service)) sensors.push_back(std::move(sensor));
  }
  return sensors;
}

bool ZORHwmonSensor::initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry) return false;
  // One copy of the properties: each single read would ask the chip again.
  std::optional<PlistDictionary> properties = entry->properties();
  if (!properties) return false;
  auto text = [&](const char* key) -> std::string {
    auto it = properties->find(key);
    const std::string* value = it == properties->end() ? nullptr : it->second.asString();
    return value != nullptr ? *value : std::string();
  };
  const Kind* kind = kindNamed(text("HwmonKind"));
  const std::string identity = text("HwmonIdentity");
  const std::string location = text("HwmonLocation");
  if (kind == nullptr || identity.empty() || location.empty()) return false;
  entry_ = entry;
  kind_ = kind;
  smcKey_ = text("SMCKey");
  setUniqueIdentifier("hwmon." + identity);
  setLocationIdentifier(location);
  setSensorName(text("HwmonSensorName"));
  setSensorType(1);
  setQuantityType(kind->quantityType);
  setPrecision(kind->precision, 0.0);
  auto limit = [&](const char* key) -> std::optional<double> {
    auto it = properties->find(key);
    std::optional<std::int64_t> number = it == properties->end() || !it->second.isInteger()
                                             ? std::nullopt
                                             : it->second.integerValue();
    if (!number || *number <= 0) return std::nullopt;
    return static_cast<double>(*number) * kind->linearFactor;
  };
  limits_.critical = limit("HwmonCrit");
  limits_.upper = limit("HwmonMax");
  if (!limits_.upper) limits_.upper = limits_.critical;
  return true;
}

std::int32_t ZORHwmonSensor::rawValue() {
  return entry_ ? entry_->intValueWithName("HwmonValue") : -1;
}

std::shared_ptr<ZORSensorValueConverter> ZORHwmonSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  if (kind_ != nullptr && kind_->linearFactor != 1.0) {
    converter->setConversionFunctionType(1);
    converter->setLinearFactor(kind_->linearFactor);
  }
  return converter;
}

}  // namespace zor

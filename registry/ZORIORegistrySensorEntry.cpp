#include "registry/ZORIORegistrySensorEntry.h"

#include <array>

#include "platform/IOKit.h"
#include "platform/SensorRefreshProperty.h"

namespace zor {
namespace {

constexpr const char* kType = "type";
constexpr const char* kSensorID = "sensor-id";
constexpr const char* kControlID = "control-id";
constexpr const char* kLocation = "location";
constexpr const char* kCurrentValue = "current-value";

std::string& enforcementName() {
  static std::string name;
  return name;
}

bool hasSensorProperties(const ZORIORegistryEntry& entry, const std::string& identifier) {
  return entry.hasValueWithName(kType) && entry.hasValueWithName(identifier) &&
         entry.hasValueWithName(kLocation) && entry.hasValueWithName(kCurrentValue);
}

}  // namespace

void ZORIORegistrySensorEntry::load() {
  enforcementName() = unscrambledSensorRefreshPropertyName();
}

const std::string& ZORIORegistrySensorEntry::enforcementPropertyName() {
  return enforcementName();
}

std::optional<ZORIORegistrySensorEntryList>
ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
    const std::optional<std::string>& serviceName, const std::optional<std::string>& typeName,
    bool control) {
  if (!serviceName) return std::nullopt;
  const std::string identifier = control ? kControlID : kSensorID;
  ZORIORegistrySensorEntryList found;
  std::optional<ZORIORegistryEntryList> services = serviceObjectsMatchingName(serviceName);
  if (!services) return found;
  for (const auto& service : *services) {
    if (!hasSensorProperties(*service, identifier)) continue;
    if (typeName) {
      if (typeName->empty()) continue;
      if (service->stringValueWithName(kType) != *typeName) continue;
    }
    auto entry = std::make_shared<ZORIORegistrySensorEntry>();
    if (entry->initWithIOKitHandle(service->ioKitHandle(), identifier)) {
      found.push_back(std::move(entry));
    }
  }
  return found;
}

bool ZORIORegistrySensorEntry::initWithIOKitHandle(std::uint32_t handle) {
  return initWithIOKitHandle(handle, std::string(kSensorID));
}

bool ZORIORegistrySensorEntry::initWithIOKitHandle(
    std::uint32_t handle, const std::optional<std::string>& verifyingServiceMatchString) {
  if (!ZORIORegistryEntry::initWithIOKitHandle(handle)) return false;
  // A refused entry keeps its reference until the caller drops the object.
  return verifyingServiceMatchString && hasSensorProperties(*this, *verifyingServiceMatchString);
}

std::int32_t ZORIORegistrySensorEntry::sensorIdentificationNumber() const {
  return intValueWithName(kSensorID);
}

std::optional<std::string> ZORIORegistrySensorEntry::locationIdentification() const {
  return stringValueWithName(kLocation);
}

std::optional<std::string> ZORIORegistrySensorEntry::sensorTypeName() const {
  return stringValueWithName(kType);
}

std::int32_t ZORIORegistrySensorEntry::sensorValue() const {
  if (ioKitHandle() == 0) return -1;
  const std::string& refresh = enforcementPropertyName();
  if (!refresh.empty()) {
    // The driver may refuse; the reading is taken all the same.
    iokit::IORegistryEntrySetCFProperty(ioKitHandle(), refresh, PlistValue::boolean(false));
  }
  std::int32_t value = intValueWithName(kCurrentValue);
  if (value >= 0) return value;
  value = intValueWithName(kCurrentValue);
  return value >= 0 ? value : -1;
}

std::int32_t ZORIORegistrySensorEntry::unenforcedSensorValue() const {
  return intValueWithName(kCurrentValue);
}

}  // namespace zor

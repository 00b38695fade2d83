#include "platform/simulated/SensorDriverBehaviour.h"

#include <array>
#include <cstdint>

#include "platform/MachineEntry.h"
#include "platform/SensorRefreshProperty.h"

namespace zor {
namespace {

constexpr const char* kCurrentValue = "current-value";

}  // namespace

std::unique_ptr<DriverBehaviour> SensorDriverBehaviour::make(const DriverSettings& settings,
                                                             std::string* /*error*/) {
  if (settings.wave().has(kCurrentValue)) return std::make_unique<SensorDriverBehaviour>(settings);
  return std::make_unique<DriverBehaviour>(settings);
}

const std::string& SensorDriverBehaviour::refreshPropertyName() {
  static const std::string name = unscrambledSensorRefreshPropertyName();
  return name;
}

iokit::kern_return_t SensorDriverBehaviour::setProperty(MachineEntry& entry, const std::string& key,
                                                        const PlistValue& /*value*/) {
  if (key != refreshPropertyName()) return iokit::kIOReturnUnsupported;
  PlistDictionary& properties = entry.properties();
  auto it = properties.find(kCurrentValue);
  auto fresh = settings().wave().propertyValueNow(kCurrentValue,
                                                  it == properties.end() ? nullptr : &it->second);
  if (fresh) properties[kCurrentValue] = std::move(*fresh);
  return iokit::kIOReturnSuccess;
}

}  // namespace zor

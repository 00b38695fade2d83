#include "platform/simulated/SensorDriverBehaviour.h"

#include <array>
#include <cstdint>

#include "platform/simulated/SimulatedEntry.h"

namespace zor {
namespace {

constexpr const char* kCurrentValue = "current-value";

// The refresh property's name is not kept as plain text in the binary; byte i
// is stored XOR (0x5A + 7 i).
constexpr std::array<std::uint8_t, 12> kScrambledRefreshName = {0x2a, 0x0e, 0x04, 0x03, 0x5b, 0x0f,
                                                                0xe1, 0xed, 0xe0, 0xfc, 0xd3, 0xcf};

std::string unscramble() {
  std::string name;
  for (std::size_t i = 0; i < kScrambledRefreshName.size(); ++i) {
    name.push_back(
        static_cast<char>(kScrambledRefreshName[i] ^ static_cast<std::uint8_t>(0x5a + 7 * i)));
  }
  return name;
}

}  // namespace

std::unique_ptr<DriverBehaviour> SensorDriverBehaviour::make(const SimulationSettings& settings,
                                                             std::string* /*error*/) {
  if (settings.wave().has(kCurrentValue)) return std::make_unique<SensorDriverBehaviour>(settings);
  return std::make_unique<DriverBehaviour>(settings);
}

const std::string& SensorDriverBehaviour::refreshPropertyName() {
  static const std::string name = unscramble();
  return name;
}

iokit::kern_return_t SensorDriverBehaviour::setProperty(SimulatedEntry& entry,
                                                        const std::string& key,
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

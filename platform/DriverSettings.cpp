#include "platform/DriverSettings.h"

#include <limits>

namespace zor {

std::optional<DriverSettings> DriverSettings::parse(const PlistDictionary& simulation,
                                                    std::string* error) {
  DriverSettings settings;
  settings.raw_ = simulation;
  if (const PlistValue* openError = settings.find("OpenError")) {
    auto code = openError->isInteger() ? openError->integerValue() : std::nullopt;
    // The code is a kern_return_t: 32 bits, either signed or as unsigned hex.
    bool fits = code && *code >= std::numeric_limits<std::int32_t>::min() &&
                *code <= std::numeric_limits<std::uint32_t>::max();
    // An error code of 0 would report a failed open as success.
    if (!fits || *code == 0) {
      if (error) *error = "\"OpenError\" must be a non-zero 32-bit integer";
      return std::nullopt;
    }
    settings.openError_ = static_cast<iokit::kern_return_t>(static_cast<std::uint32_t>(*code));
  }
  if (const PlistValue* wave = settings.find("Wave")) {
    auto parsed = SimulatedWave::parse(*wave, error);
    if (!parsed) return std::nullopt;
    settings.wave_ = std::move(*parsed);
  }
  return settings;
}

const PlistValue* DriverSettings::find(const std::string& key) const {
  auto it = raw_.find(key);
  return it == raw_.end() ? nullptr : &it->second;
}

}  // namespace zor

#include "platform/simulated/SimulatedWave.h"

#include <cmath>
#include <numbers>

#include "platform/Clock.h"

namespace zor {
namespace {

// Reals and integers are numbers here; booleans are not.
std::optional<double> curveNumber(const PlistValue& curve, const char* key, const std::string& name,
                                  std::string* error) {
  const PlistValue* value = curve.find(key);
  if (value == nullptr || !(value->isReal() || value->isInteger())) {
    if (error) *error = "\"Wave\" entry \"" + name + "\" needs a number \"" + key + "\"";
    return std::nullopt;
  }
  double number = *value->realValue();
  if (!std::isfinite(number)) {
    if (error) *error = "\"Wave\" entry \"" + name + "\" has a non-finite \"" + key + "\"";
    return std::nullopt;
  }
  return number;
}

}  // namespace

std::optional<SimulatedWave> SimulatedWave::parse(const PlistValue& wave, std::string* error) {
  const PlistDictionary* curves = wave.asDictionary();
  if (curves == nullptr) {
    if (error)
      *error =
          std::string("\"Wave\" is a ") + plistTypeName(wave.type()) + ", expected a dictionary";
    return std::nullopt;
  }
  SimulatedWave result;
  for (const auto& [name, curve] : *curves) {
    if (!curve.isDictionary()) {
      if (error) *error = "\"Wave\" entry \"" + name + "\" is not a dictionary";
      return std::nullopt;
    }
    auto base = curveNumber(curve, "Base", name, error);
    auto amplitude = base ? curveNumber(curve, "Amplitude", name, error) : std::nullopt;
    auto period = amplitude ? curveNumber(curve, "PeriodSeconds", name, error) : std::nullopt;
    if (!period) return std::nullopt;
    // A period of zero would divide by zero and serve NaN as a reading.
    if (!(*period > 0)) {
      if (error) *error = "\"Wave\" entry \"" + name + "\" needs a \"PeriodSeconds\" above 0";
      return std::nullopt;
    }
    result.curves_[name] = Curve{*base, *amplitude, *period};
  }
  return result;
}

std::optional<double> SimulatedWave::valueAt(const std::string& name, double seconds) const {
  auto it = curves_.find(name);
  if (it == curves_.end()) return std::nullopt;
  const Curve& curve = it->second;
  // Reduce t first so that large epoch times keep their precision in sin().
  double phase = std::fmod(seconds, curve.periodSeconds) / curve.periodSeconds;
  return curve.base + curve.amplitude * std::sin(2 * std::numbers::pi * phase);
}

std::optional<double> SimulatedWave::valueNow(const std::string& name) const {
  return valueAt(name, Clock::current().now());
}

std::optional<PlistValue> SimulatedWave::propertyValueNow(const std::string& name,
                                                          const PlistValue* current) const {
  auto value = valueNow(name);
  if (!value) return std::nullopt;
  if (current != nullptr && current->isReal()) return PlistValue::real(*value);
  double rounded = std::round(*value);
  if (current != nullptr && current->isUnsignedInteger()) {
    return PlistValue::unsignedInteger(rounded <= 0 ? 0 : static_cast<std::uint64_t>(rounded));
  }
  return PlistValue::integer(static_cast<std::int64_t>(rounded));
}

}  // namespace zor

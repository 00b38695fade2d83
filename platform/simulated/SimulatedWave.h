#pragma once
// The live values of a simulated driver ("Wave"): per SMC key or property
// name, Base + Amplitude x sin(2 pi t / PeriodSeconds) with t the current time
// of zor::Clock. Used by every simulated driver behaviour that serves live values.

#include <map>
#include <optional>
#include <string>

#include "platform/PropertyList.h"

namespace zor {

class SimulatedWave {
 public:
  struct Curve {
    double base = 0;
    double amplitude = 0;
    double periodSeconds = 1;
  };

  SimulatedWave() = default;
  // Reads a "Wave" dictionary (name -> {"Base", "Amplitude", "PeriodSeconds"});
  // nothing and a reason for wrong types or a period that is not above zero.
  static std::optional<SimulatedWave> parse(const PlistValue& wave, std::string* error);

  bool empty() const { return curves_.empty(); }
  bool has(const std::string& name) const { return curves_.count(name) != 0; }
  // The curve's value now, or nothing when `name` has no curve.
  std::optional<double> valueNow(const std::string& name) const;
  std::optional<double> valueAt(const std::string& name, double seconds) const;
  // The value now in the encoding of `current`: an integer property gets the
  // rounded value (same signedness), a real the value itself; any other type
  // (or none) gets an integer. Nothing when `name` has no curve.
  std::optional<PlistValue> propertyValueNow(const std::string& name,
                                             const PlistValue* current) const;

 private:
  std::map<std::string, Curve> curves_;
};

}  // namespace zor

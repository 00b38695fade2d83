#pragma once
// The "ZORSimulation" dictionary of one registry entry: the driver behind it
// and that driver's settings, with the keys every driver shares already
// checked: "OpenError" (opening a user client
// or plug-in fails with that code) and "Wave" (live values). A driver
// behaviour reads its own keys from `raw()`.

#include <optional>
#include <string>

#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"
#include "platform/simulated/SimulatedWave.h"

namespace zor {

class DriverSettings {
 public:
  DriverSettings() = default;
  // Nothing and a reason when "OpenError" is not a non-zero integer or "Wave" is malformed.
  static std::optional<DriverSettings> parse(const PlistDictionary& simulation, std::string* error);

  const PlistDictionary& raw() const { return raw_; }
  const PlistValue* find(const std::string& key) const;
  std::optional<iokit::kern_return_t> openError() const { return openError_; }
  const SimulatedWave& wave() const { return wave_; }

 private:
  PlistDictionary raw_;
  std::optional<iokit::kern_return_t> openError_;
  SimulatedWave wave_;
};

}  // namespace zor

#pragma once
// The driver of an I2C/PMU-style hardware sensor service ("IOHWSensor"): an
// entry is one when its "ZORSimulation" has a "Wave" curve for
// "current-value" and no other driver key. Before each reading the sensor
// classes write the driver's refresh property (boolean false); the driver
// then publishes a fresh "current-value" from the curve, in the property's
// own integer or real encoding. Every other write is refused.

#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"

namespace zor {

class SensorDriverBehaviour final : public DriverBehaviour {
 public:
  using DriverBehaviour::DriverBehaviour;

  // The table's factory: this behaviour when the settings' "Wave" has a
  // "current-value" curve, else the plain behaviour.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);
  // The name of the property whose write refreshes the reading.
  static const std::string& refreshPropertyName();

  iokit::kern_return_t setProperty(MachineEntry& entry, const std::string& key,
                                   const PlistValue& value) override;
};

}  // namespace zor

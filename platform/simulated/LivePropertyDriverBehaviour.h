#pragma once
// The driver of a registry entry that keeps some of its own properties up to
// date by polling its chip, such as a board thermometer's "temperature" or a
// monitoring chip's "IntTemp": before any property of the entry is read, each
// property listed in "LiveProperties" is republished from its "Wave" curve,
// in the property's own integer or real encoding. Property writes are refused.
//
//   "ZORSimulation" = { "LiveProperties" = ("temperature");
//                       "Wave" = { "temperature" = { Base; Amplitude; PeriodSeconds } } }

#include <memory>
#include <string>
#include <vector>

#include "platform/DriverBehaviour.h"

namespace zor {

class LivePropertyDriverBehaviour final : public DriverBehaviour {
 public:
  LivePropertyDriverBehaviour(DriverSettings settings, std::vector<std::string> properties)
      : DriverBehaviour(std::move(settings)), properties_(std::move(properties)) {}

  // The table's factory. Refuses (null and a reason) a "LiveProperties" that
  // is not an array of property names, or names a property without a curve.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  const std::vector<std::string>& liveProperties() const { return properties_; }
  void propertiesWillBeRead(MachineEntry& entry) override;

 private:
  std::vector<std::string> properties_;
};

}  // namespace zor

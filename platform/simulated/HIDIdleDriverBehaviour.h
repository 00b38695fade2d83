#pragma once
// The HID system's idle counter on a simulated "IOHIDSystem" entry: with
// "ZORSimulation" {"HIDIdle": {"InputEverySeconds": n}} the simulated user
// touches the keyboard every n seconds of the clock, so before each property
// read "HIDIdleTime" becomes the nanoseconds since the last touch, in the
// property's own encoding (a number, or 8 bytes of data in host byte order;
// any other value is left as the profile gives it). Without the behaviour
// the profile's "HIDIdleTime" stands still. Read by the disk sensors' disk saver.

#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"

namespace zor {

class HIDIdleDriverBehaviour final : public DriverBehaviour {
 public:
  HIDIdleDriverBehaviour(DriverSettings settings, double inputEverySeconds);

  // The table's factory; null and a reason when "HIDIdle" is malformed.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  void propertiesWillBeRead(MachineEntry& entry) override;

 private:
  double inputEverySeconds_;
};

}  // namespace zor

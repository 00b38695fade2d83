#pragma once
// The registry entry of the SMC of an Intel Mac running Linux, made when the
// kernel's applesmc driver is bound (/sys/devices/platform/applesmc.768): an
// "AppleSMC" service with an "smc-version" (the SMC family accepts no service
// without one) and the live driver AppleSMCDriverBehaviour, which serves the
// temperature keys the driver publishes as hwmon channels (`tempN_label`
// holds the key, `tempN_input` its reading). Fans are not keys here: they
// stay with the generic hardware-monitor channels. Used by the Linux
// machine's builder.

#include <string>

#include "platform/PropertyList.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class AppleSMCEntries {
 public:
  // The applesmc platform device.
  static constexpr const char* kDevicePath = "/sys/devices/platform/applesmc.768";

  // Appends the SMC's entry to `services` when the driver is there and
  // publishes at least one temperature key; nothing otherwise.
  static void append(const LinuxRoot& root, PlistArray* services);
  // The folder that holds the driver's channel files: the device folder, as
  // the driver publishes them, or its hwmon folder; empty when neither has
  // a temperature channel.
  static std::string channelFolder(const LinuxRoot& root);
};

}  // namespace zor::linuxfs

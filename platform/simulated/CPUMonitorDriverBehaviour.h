#pragma once
// The CPU-monitoring driver behind a simulated registry entry: an entry is
// one when its "ZORSimulation" has a "CPUMonitor" dictionary. The entry
// publishes "CPUBrand", "CPUSignature" and the status block "CPUStatus"
// (a 20-byte header, 36 bytes per core, an 8-byte trailer, little-endian).
// Writing "ForceUpdate" refreshes the block in place: every core record
// that lies wholly inside the block gets the current time of day (whole
// seconds) as its update time, and its thermal reading follows the "Wave"
// curve "thermalReading.<core>" (zero-based) or, failing that,
// "thermalReading". Every other write is refused. The block's layout is the
// driver's published format; the sensors decode it on their own side.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"

namespace zor {

class CPUMonitorDriverBehaviour final : public DriverBehaviour {
 public:
  using DriverBehaviour::DriverBehaviour;

  // The table's factory: null and a reason when "CPUMonitor" is no dictionary.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  iokit::kern_return_t setProperty(MachineEntry& entry, const std::string& key,
                                   const PlistValue& value) override;

  // How many "ForceUpdate" writes the driver has taken (cost checks in tests).
  std::uint64_t forceUpdateCount() const { return forceUpdates_; }

 private:
  std::uint64_t forceUpdates_ = 0;
};

}  // namespace zor

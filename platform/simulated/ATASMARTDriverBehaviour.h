#pragma once
// The driver of a simulated ATA S.M.A.R.T. disk: an entry is one when its
// "ZORSimulation" has an "ATASMART" dictionary. It creates the disk's
// plug-in interface for the S.M.A.R.T. user-client type (the registry has
// already applied "OpenError"); everything the disk answers comes from the
// shared SimulatedATASMARTDisk, whose counters tests read through disk().

#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"
#include "platform/simulated/SimulatedATASMARTDisk.h"

namespace zor {

class MachineEntry;

class ATASMARTDriverBehaviour final : public DriverBehaviour {
 public:
  ATASMARTDriverBehaviour(DriverSettings settings, std::shared_ptr<SimulatedATASMARTDisk> disk);

  // The table's factory; null and a reason when "ATASMART" is malformed.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);
  // The disk behind an entry, or null when the entry is no S.M.A.R.T. disk.
  static SimulatedATASMARTDisk* diskOf(const MachineEntry& entry);

  SimulatedATASMARTDisk& disk() const { return *disk_; }

  iokit::kern_return_t createPlugInInterface(MachineEntry& entry,
                                             const iokit::CFUUIDBytes& pluginType,
                                             const iokit::CFUUIDBytes& interfaceType,
                                             iokit::IOCFPlugInInterface** plugIn,
                                             std::int32_t* score) override;

 private:
  std::shared_ptr<SimulatedATASMARTDisk> disk_;
};

}  // namespace zor

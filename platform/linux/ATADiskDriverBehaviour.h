#pragma once
// The live driver of an ATA disk of the running Linux machine: an entry is
// one when its "ZORSimulation" has "ATADisk" (made by ATADiskEntries). It
// creates the disk's S.M.A.R.T. plug-in interface, each one a fresh open of
// the block device; a device that cannot be opened fails the creation (the
// reason logged once). For a dump it reads the disk's pages now and gives
// them as the simulated disk's "ATASMART" (none from a disk in standby).
//
// Settings form: "ATADisk" = {"Device": the block device as opened on this
// machine ("/dev/sda")}.

#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"
#include "platform/linux/LinuxATADisk.h"

namespace zor {

class ATADiskDriverBehaviour final : public DriverBehaviour {
 public:
  static constexpr const char* kSettingsKey = "ATADisk";

  // The table's factory: null and a reason without a "Device" path.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  ATADiskDriverBehaviour(DriverSettings settings, std::shared_ptr<linuxfs::LinuxATADisk> disk);

  iokit::kern_return_t createPlugInInterface(MachineEntry& entry,
                                             const iokit::CFUUIDBytes& pluginType,
                                             const iokit::CFUUIDBytes& interfaceType,
                                             iokit::IOCFPlugInInterface** plugIn,
                                             std::int32_t* score) override;

  // "ATASMART" with the pages ("Identify", "Data", "Thresholds") and the
  // "ThresholdExceeded" status the disk gives now; a page it does not give
  // is left out, so the replayed disk fails that read as this one did.
  PlistDictionary recordedSettings(MachineEntry& entry) override;

 private:
  std::shared_ptr<linuxfs::LinuxATADisk> disk_;
};

}  // namespace zor

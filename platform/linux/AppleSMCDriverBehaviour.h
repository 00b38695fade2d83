#pragma once
// The live driver of the SMC of an Intel Mac running Linux: an entry is one
// when its "ZORSimulation" has "AppleSMCHwmon" (made by AppleSMCEntries). It
// lists the temperature keys the kernel's applesmc driver publishes as hwmon
// channels and opens user clients that answer the SMC family's structure
// calls ("#KEY", key at index, key information, read) like the simulated SMC,
// with every read taken from the key's channel. For a dump it gives the keys
// as the simulated SMC's "SMCKeys", holding their bytes now.
//
// Settings form: "AppleSMCHwmon" = {"Keys": [{"Key": "TC0D", "Input": path
// of the channel's `tempN_input` as opened on this machine}, ...]}.

#include <memory>
#include <string>
#include <vector>

#include "platform/DriverBehaviour.h"
#include "platform/linux/AppleSMCKeyChannel.h"
#include "platform/simulated/SMCDriverBehaviour.h"

namespace zor {

class AppleSMCDriverBehaviour final : public DriverBehaviour {
 public:
  static constexpr const char* kSettingsKey = "AppleSMCHwmon";

  // The table's factory: null and a reason when the key list is malformed.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  AppleSMCDriverBehaviour(DriverSettings settings, std::shared_ptr<SMCDriverBehaviour::State> state,
                          std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels);

  iokit::kern_return_t openUserClient(MachineEntry& entry, std::uint32_t type,
                                      std::unique_ptr<UserClientConnection>* connection) override;

  // The settings that replay this SMC in a machine profile: "SMCKeys" with
  // every key's bytes now, and "SMCFailKeys" for keys that give no reading.
  PlistDictionary recordedSettings(MachineEntry& entry) override;
  // Structure calls made with `command`, as the simulated SMC counts them.
  std::uint64_t callCount(std::uint8_t command) const;

 private:
  std::shared_ptr<SMCDriverBehaviour::State> state_;
  std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels_;
};

}  // namespace zor

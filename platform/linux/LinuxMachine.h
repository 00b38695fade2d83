#pragma once
// The running Linux machine (or a recorded file tree of one, through
// LinuxRoot) described in the machine-profile form: "Name", a "Registry"
// whose platform-expert entry carries the model, serial number and UUID and
// under which every sensor source appends its entries, a "DeviceTree" with
// the firmware version, "Sysctl", "HostUUID", "ComputerName",
// "OperatingSystemVersionString" and the system version file. The profile is
// then built into a machine like any other, the entries' live drivers coming
// from the driver table. Used by the programs' start-up and by the tests.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/Machine.h"
#include "platform/PropertyList.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class LinuxMachine {
 public:
  // A sensor source: appends its entries of the machine under `root` to the
  // platform expert's children.
  using EntrySource = void (*)(const LinuxRoot& root, PlistArray* services);

  // The machine under `root` in profile form.
  static PlistDictionary profile(const LinuxRoot& root);
  // That profile built into a live machine whose process table is read from
  // /proc; null and one line on failure.
  static std::shared_ptr<Machine> build(const LinuxRoot& root, std::string* errorLine);
  // A profile already made by profile(root) built the same way.
  static std::shared_ptr<Machine> build(const LinuxRoot& root, const PlistDictionary& profile,
                                        std::string* errorLine);
  // How many entries of a profile's registry have a driver behind them (a
  // "ZORSimulation" dictionary): what the machine can show as sensors.
  static std::size_t liveEntryCount(const PlistDictionary& profile);
  // The operating-system version text: "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-13-amd64".
  static std::string operatingSystemVersionString(const LinuxRoot& root);
};

}  // namespace zor::linuxfs

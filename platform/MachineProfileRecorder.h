#pragma once
// A machine written out as a machine profile that --machine FILE replays:
// its registry trees entry by entry (class names, name, properties as the
// drivers publish them now, children) with each driver recorded as the
// settings that replay it (DriverBehaviour::recordedSettings: a live driver
// becomes a simulated one), and the machine's other keys ("Sysctl", "Files",
// ...) as described. Serial numbers and UUIDs become placeholders unless
// kept. Used by zor-sensors --dump-profile, so a person can attach their
// machine to a bug report and anyone can see what they see.

#include <string>

#include "platform/Machine.h"
#include "platform/PropertyList.h"

namespace zor {

class MachineProfileRecorder {
 public:
  static PlistDictionary record(const Machine& machine, bool keepIdentity);
  // The profile as an XML property list in `path`; false and a reason on failure.
  static bool write(const Machine& machine, bool keepIdentity, const std::string& path,
                    std::string* error);
};

}  // namespace zor

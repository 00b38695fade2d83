#pragma once
// A machine written out as a machine profile that --machine FILE replays:
// its tree of entries with their properties and drivers, its kernel
// variables, files and identity (as placeholders unless kept). Used by
// zor-sensors --dump-profile, so a person can attach their machine to a bug
// report and anyone can see what they see.

#include <string>

#include "platform/PropertyList.h"
#include "platform/simulated/SimulatedMachine.h"

namespace zor {

class MachineProfileRecorder {
 public:
  static PlistDictionary record(const SimulatedMachine& machine, bool keepIdentity);
  // The profile as an XML property list in `path`; false and a reason on failure.
  static bool write(const SimulatedMachine& machine, bool keepIdentity, const std::string& path,
                    std::string* error);
};

}  // namespace zor

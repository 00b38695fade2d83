#include "platform/simulated/MachineProfileRecorder.h"

#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/PropertyListSerialization.h"

namespace zor {

PlistDictionary MachineProfileRecorder::record(const SimulatedMachine& machine, bool keepIdentity) {
  PlistDictionary profile = machine.profile();
  return keepIdentity ? profile : ProfileIdentityPlaceholders::apply(profile);
}

bool MachineProfileRecorder::write(const SimulatedMachine& machine, bool keepIdentity,
                                   const std::string& path, std::string* error) {
  const std::string bytes =
      serializePropertyList(PlistValue(record(machine, keepIdentity)), PlistFormat::XML);
  return writeFileAtomically(path, bytes, error);
}

}  // namespace zor

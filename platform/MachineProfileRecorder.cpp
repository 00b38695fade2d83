#include "platform/MachineProfileRecorder.h"

#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/PropertyListSerialization.h"

namespace zor {
namespace {

PlistValue recordEntry(MachineEntry& entry) {
  DriverBehaviour& behaviour = entry.behaviour();
  behaviour.propertiesWillBeRead(entry);
  // Asked before the properties are copied: a live driver may publish its
  // fresh value as a property for the replay.
  PlistDictionary settings = behaviour.recordedSettings(entry);
  PlistDictionary fields = entry.properties();
  fields["IOObjectClass"] = PlistValue(entry.className());
  fields["IORegistryEntryName"] = PlistValue(entry.name());
  if (!entry.superclasses().empty()) {
    PlistArray superclasses;
    for (const std::string& name : entry.superclasses()) superclasses.emplace_back(name);
    fields["IOSuperclasses"] = PlistValue(std::move(superclasses));
  }
  if (!settings.empty()) fields["ZORSimulation"] = PlistValue(std::move(settings));
  if (!entry.children().empty()) {
    PlistArray children;
    for (const auto& child : entry.children()) children.push_back(recordEntry(*child));
    fields["IORegistryEntryChildren"] = PlistValue(std::move(children));
  }
  return PlistValue(std::move(fields));
}

}  // namespace

PlistDictionary MachineProfileRecorder::record(const Machine& machine, bool keepIdentity) {
  PlistDictionary profile = machine.profile();
  profile["Name"] = PlistValue(machine.name());
  for (auto [key, root] : {std::pair{"Registry", machine.registry().serviceRoot()},
                           std::pair{"DeviceTree", machine.registry().deviceTreeRoot()}}) {
    if (root != nullptr) profile[key] = recordEntry(*root);
  }
  return keepIdentity ? profile : ProfileIdentityPlaceholders::apply(profile);
}

bool MachineProfileRecorder::write(const Machine& machine, bool keepIdentity,
                                   const std::string& path, std::string* error) {
  const std::string bytes =
      serializePropertyList(PlistValue(record(machine, keepIdentity)), PlistFormat::XML);
  return writeFileAtomically(path, bytes, error);
}

}  // namespace zor

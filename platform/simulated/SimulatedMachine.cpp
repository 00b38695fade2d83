#include "platform/simulated/SimulatedMachine.h"

#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"

namespace zor {

std::shared_ptr<Machine> SimulatedMachine::load(const std::string& machine,
                                                std::string* errorLine) {
  bool demo = machine.empty() || machine == "demo";
  std::string source = demo ? std::string(kDemoProfilePath) : machine;
  std::optional<std::string> bytes;
  std::string reason;
  if (demo) {
    if (auto embedded = embedded::find(kDemoProfilePath)) bytes = std::string(*embedded);
    if (!bytes) reason = "the built-in demo machine is missing";
  } else {
    bytes = readWholeFile(machine, &reason);
  }
  if (!bytes) {
    if (errorLine) *errorLine = Machine::refusalLine(source, reason);
    return nullptr;
  }
  auto profile = parsePropertyList(*bytes, &reason);
  if (!profile) {
    if (errorLine) {
      *errorLine = Machine::refusalLine(source, "not a readable property list (" + reason + ")");
    }
    return nullptr;
  }
  auto loaded = Machine::fromProfile(*profile, source, errorLine);
  if (loaded && demo) loaded->markAsDemo();
  return loaded;
}

}  // namespace zor

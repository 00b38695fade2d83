#include "platform/simulated/SimulatedMachine.h"

#include <algorithm>

#include "platform/EmbeddedFiles.h"
#include "platform/IOKitBackend.h"
#include "platform/PropertyListSerialization.h"
#include "platform/UserDefaults.h"

namespace zor {
namespace {

std::shared_ptr<SimulatedMachine>& installedMachine() {
  static std::shared_ptr<SimulatedMachine> machine;
  return machine;
}

// The refusal is one line: a reason with line breaks would split it.
void refuse(const std::string& source, std::string reason, std::string* errorLine) {
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  std::replace(reason.begin(), reason.end(), '\r', ' ');
  if (errorLine) *errorLine = "Cannot load machine profile \"" + source + "\": " + reason;
}

std::string fileNameOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<SimulatedMachine> SimulatedMachine::load(const std::string& machine,
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
    refuse(source, reason, errorLine);
    return nullptr;
  }
  auto profile = parsePropertyList(*bytes, &reason);
  if (!profile) {
    refuse(source, "not a readable property list (" + reason + ")", errorLine);
    return nullptr;
  }
  auto loaded = fromProfile(*profile, source, errorLine);
  if (loaded) loaded->isDemo_ = demo;
  return loaded;
}

std::shared_ptr<SimulatedMachine> SimulatedMachine::fromProfile(const PlistValue& profile,
                                                                const std::string& source,
                                                                std::string* errorLine) {
  const PlistDictionary* root = profile.asDictionary();
  if (root == nullptr) {
    refuse(
        source,
        std::string("the root is a ") + plistTypeName(profile.type()) + ", expected a dictionary",
        errorLine);
    return nullptr;
  }
  std::string name = fileNameOf(source);
  if (const PlistValue* given = profile.find("Name")) {
    if (!given->isString()) {
      refuse(source,
             std::string("\"Name\" is a ") + plistTypeName(given->type()) + ", expected a string",
             errorLine);
      return nullptr;
    }
    name = *given->asString();
  }
  std::string reason;
  auto registry = SimulatedRegistry::build(*root, &reason);
  if (!registry) {
    refuse(source, reason, errorLine);
    return nullptr;
  }
  auto system = SimulatedSystem::build(*root, &reason);
  if (!system) {
    refuse(source, reason, errorLine);
    return nullptr;
  }
  if (const PlistValue* defaults = profile.find("UserDefaults")) {
    if (!defaults->isDictionary()) {
      refuse(source,
             std::string("\"UserDefaults\" is a ") + plistTypeName(defaults->type()) +
                 ", expected a dictionary",
             errorLine);
      return nullptr;
    }
  }
  std::shared_ptr<SimulatedMachine> machine(new SimulatedMachine());
  machine->profile_ = *root;
  machine->name_ = std::move(name);
  machine->registry_ = std::move(registry);
  machine->system_ = std::move(system);
  return machine;
}

void SimulatedMachine::install(std::shared_ptr<SimulatedMachine> machine) {
  iokit::IOKitBackend::setCurrent(machine ? machine->registry_ : nullptr);
  SystemBackend::setCurrent(machine ? machine->system_ : nullptr);
  PlistDictionary defaults;
  if (machine) {
    if (const PlistDictionary* given = machine->profile_.count("UserDefaults")
                                           ? machine->profile_.at("UserDefaults").asDictionary()
                                           : nullptr) {
      defaults = *given;
    }
  }
  UserDefaults::standard().registerStandardDomain(defaults);
  installedMachine() = std::move(machine);
}

SimulatedMachine* SimulatedMachine::current() {
  return installedMachine().get();
}

}  // namespace zor

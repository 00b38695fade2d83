#include "platform/Machine.h"

#include <algorithm>

#include "platform/IOKitBackend.h"
#include "platform/UserDefaults.h"

namespace zor {
namespace {

std::shared_ptr<Machine>& installedMachine() {
  static std::shared_ptr<Machine> machine;
  return machine;
}

std::string fileNameOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string Machine::refusalLine(const std::string& source, std::string reason) {
  // The refusal is one line: a reason with line breaks would split it.
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  std::replace(reason.begin(), reason.end(), '\r', ' ');
  return "Cannot load machine profile \"" + source + "\": " + reason;
}

std::shared_ptr<Machine> Machine::fromProfile(const PlistValue& profile, const std::string& source,
                                              std::string* errorLine,
                                              std::shared_ptr<MachineSystem> system) {
  auto refuse = [&](const std::string& reason) {
    if (errorLine) *errorLine = refusalLine(source, reason);
    return nullptr;
  };
  const PlistDictionary* root = profile.asDictionary();
  if (root == nullptr) {
    return refuse(std::string("the root is a ") + plistTypeName(profile.type()) +
                  ", expected a dictionary");
  }
  std::string name = fileNameOf(source);
  if (const PlistValue* given = profile.find("Name")) {
    if (!given->isString()) {
      return refuse(std::string("\"Name\" is a ") + plistTypeName(given->type()) +
                    ", expected a string");
    }
    name = *given->asString();
  }
  std::string reason;
  auto registry = MachineRegistry::build(*root, &reason);
  if (!registry) return refuse(reason);
  if (!system) system = MachineSystem::make();
  if (!system->load(*root, &reason)) return refuse(reason);
  if (const PlistValue* defaults = profile.find("UserDefaults")) {
    if (!defaults->isDictionary()) {
      return refuse(std::string("\"UserDefaults\" is a ") + plistTypeName(defaults->type()) +
                    ", expected a dictionary");
    }
  }
  std::shared_ptr<Machine> machine(new Machine());
  machine->profile_ = *root;
  machine->name_ = std::move(name);
  machine->registry_ = std::move(registry);
  machine->system_ = std::move(system);
  return machine;
}

void Machine::install(std::shared_ptr<Machine> machine) {
  iokit::IOKitBackend::setCurrent(machine ? machine->registry_ : nullptr);
  SystemBackend::setCurrent(machine ? machine->system_ : nullptr);
  PlistDictionary defaults;
  if (machine) {
    auto it = machine->profile_.find("UserDefaults");
    if (it != machine->profile_.end() && it->second.asDictionary() != nullptr) {
      defaults = *it->second.asDictionary();
    }
  }
  UserDefaults::standard().registerStandardDomain(defaults);
  installedMachine() = std::move(machine);
}

Machine* Machine::current() {
  return installedMachine().get();
}

}  // namespace zor

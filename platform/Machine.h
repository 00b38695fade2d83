#pragma once
// One computer as the platform sees it: a tree of registry entries with the
// driver behaviour behind each, and the operating-system services, both
// described in profile form (see machines/README.md). Whoever builds the
// description: the simulated backend loads it from a machine profile
// (SimulatedMachine), the Linux backend writes it from /sys, /proc and /etc
// with drivers that read live. Installing a machine makes it the platform of
// the process. Used by the programs' start-up, the tests and the services
// that read their parts of the description ("Sysctl", "Files", ...).

#include <memory>
#include <string>

#include "platform/MachineRegistry.h"
#include "platform/MachineSystem.h"
#include "platform/PropertyList.h"

namespace zor {

class Machine {
 public:
  // A machine from a description in profile form; `source` names it in errors.
  // `system` is the operating-system services to load the description into
  // (a live subclass), or null for the plain ones. Null and one line naming
  // the source and the reason on failure; nothing is half-built.
  static std::shared_ptr<Machine> fromProfile(const PlistValue& profile, const std::string& source,
                                              std::string* errorLine,
                                              std::shared_ptr<MachineSystem> system = nullptr);
  // Makes `machine` the platform of the process (null removes it): its
  // registry, its operating-system services and its "UserDefaults" as the
  // standard user-defaults domain. Process-wide descriptions of the machine
  // are made afresh for the new one (SystemBackend::generation()).
  static void install(std::shared_ptr<Machine> machine);
  static Machine* current();

  // The one-line refusal of a description, used by every loader.
  static std::string refusalLine(const std::string& source, std::string reason);

  const PlistDictionary& profile() const { return profile_; }
  std::string name() const { return name_; }
  // The built-in demo machine.
  bool isDemo() const { return isDemo_; }
  void markAsDemo() { isDemo_ = true; }
  // Served from a profile rather than read from the computer it runs on.
  bool isSimulated() const { return isSimulated_; }
  void markAsLive() { isSimulated_ = false; }
  MachineRegistry& registry() const { return *registry_; }
  const std::shared_ptr<MachineRegistry>& sharedRegistry() const { return registry_; }
  MachineSystem& system() const { return *system_; }

 private:
  Machine() = default;
  PlistDictionary profile_;
  std::string name_;
  bool isDemo_ = false;
  bool isSimulated_ = true;
  std::shared_ptr<MachineRegistry> registry_;
  std::shared_ptr<MachineSystem> system_;
};

}  // namespace zor

#pragma once
// A computer that is not there: a machine profile (the built-in demo machine
// or a profile file) and the platform services served from it. Installing a
// machine makes it the platform of the process. Used by the programs (CLI,
// widget host), the tests and the other simulated platform services, which
// read their parts of the profile ("Sysctl", "Files", ...) through profile().

#include <memory>
#include <string>

#include "platform/PropertyList.h"
#include "platform/simulated/SimulatedRegistry.h"
#include "platform/simulated/SimulatedSystem.h"

namespace zor {

class SimulatedMachine {
 public:
  // The embedded profile of the demo machine.
  static constexpr const char* kDemoProfilePath = "machines/intel-notebook.plist";

  // "demo" (or empty) is the built-in demo machine, anything else a profile
  // file path. Null and one line naming the file and the reason on failure.
  static std::shared_ptr<SimulatedMachine> load(const std::string& machine, std::string* errorLine);
  // A machine from a profile already in memory (tests); `source` names it in errors.
  static std::shared_ptr<SimulatedMachine> fromProfile(const PlistValue& profile,
                                                       const std::string& source,
                                                       std::string* errorLine);
  // Makes `machine` the platform of the process (null removes it): its
  // registry, its operating-system services and its "UserDefaults" as the
  // standard user-defaults domain. Process-wide descriptions of the machine
  // are made afresh for the new one (SystemBackend::generation()).
  static void install(std::shared_ptr<SimulatedMachine> machine);
  static SimulatedMachine* current();

  const PlistDictionary& profile() const { return profile_; }
  std::string name() const { return name_; }
  bool isDemo() const { return isDemo_; }
  SimulatedRegistry& registry() const { return *registry_; }
  const std::shared_ptr<SimulatedRegistry>& sharedRegistry() const { return registry_; }
  SimulatedSystem& system() const { return *system_; }

 private:
  SimulatedMachine() = default;
  PlistDictionary profile_;
  std::string name_;
  bool isDemo_ = false;
  std::shared_ptr<SimulatedRegistry> registry_;
  std::shared_ptr<SimulatedSystem> system_;
};

}  // namespace zor

#pragma once
// Machines with a simulated SMC for the SMC tests, built in code: a root
// entry with "AppleSMC" services whose drivers serve the keys given. The
// fixture installs the machine and a manual clock, and at the end of every
// test ends the shared controller, puts the process-wide settings back and
// checks that every registry reference was given back.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/PropertyList.h"
#include "platform/simulated/SMCDriverBehaviour.h"
#include "smc/ZORSMCCachedValue.h"
#include "smc/ZORSystemManagementController.h"

namespace zor::testing {

inline PlistValue smcKey(const std::string& key, const std::string& type,
                         std::vector<std::uint8_t> bytes) {
  return PlistDictionary{
      {"Key", key}, {"Type", type}, {"Bytes", PlistValue(PlistData(std::move(bytes)))}};
}

// The "sp78" bytes of `degrees` (exact in 1/256 steps), and a key holding them.
inline std::vector<std::uint8_t> sp78(double degrees) {
  auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(degrees * 256));
  return {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw & 0xFF)};
}
inline PlistValue sp78Key(const std::string& key, double degrees) {
  return smcKey(key, "sp78", sp78(degrees));
}

inline PlistDictionary smcService(PlistArray keys, PlistDictionary simulation = {},
                                  bool withVersion = true, const std::string& name = "SMC") {
  simulation["SMCKeys"] = PlistValue(std::move(keys));
  PlistDictionary service{{"IOObjectClass", "AppleSMC"},
                          {"IORegistryEntryName", name},
                          {"ZORSimulation", PlistValue(std::move(simulation))}};
  if (withVersion) service["smc-version"] = "1.41f3";
  return service;
}

inline PlistValue profileWithServices(std::vector<PlistDictionary> services,
                                      const std::string& model = "") {
  PlistArray children(services.begin(), services.end());
  PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                       {"IORegistryEntryName", "Root"},
                       {"IORegistryEntryChildren", PlistValue(std::move(children))}};
  PlistDictionary profile{{"Name", "smc test machine"}, {"Registry", PlistValue(std::move(root))}};
  if (!model.empty()) profile["Sysctl"] = PlistDictionary{{"hw.model", model}};
  return PlistValue(std::move(profile));
}

class SMCTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ZORSystemManagementController::forgetSharedSystemManagementController();
    ZORSystemManagementController::setAccessPolicy(0);
    EXPECT_TRUE(!machine_ || outstanding() == 0) << "a registry reference was not given back";
    Machine::install(nullptr);
  }

  // Installs a machine built from `profile`; false when it is refused.
  bool install(const PlistValue& profile) {
    std::string error;
    machine_ = Machine::fromProfile(profile, "smc test profile", &error);
    Machine::install(machine_);
    return machine_ != nullptr;
  }
  bool installKeys(PlistArray keys, PlistDictionary simulation = {}) {
    return install(profileWithServices({smcService(std::move(keys), std::move(simulation))}));
  }

  // The driver of the service named "SMC".
  SMCDriverBehaviour& driver() {
    return *SMCDriverBehaviour::of(*machine_->registry().findEntryNamed("SMC"));
  }
  std::int64_t outstanding() const { return machine_->registry().outstandingReferences(); }

  ScopedManualClock clock_;
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing

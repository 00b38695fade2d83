#pragma once
// The small machine of the registry entry tests (registry-machine.plist
// beside this file) and a fixture that installs it and, at the end of every
// test, checks that every reference taken during the test was given back.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Machine.h"
#include "platform/PropertyListSerialization.h"

namespace zor::testing {

inline std::shared_ptr<Machine> registryTestMachine() {
  std::string error;
  auto profile =
      readPropertyListFile(ZOR_SOURCE_DIR "/tests/registry/registry-machine.plist", &error);
  EXPECT_TRUE(profile.has_value()) << error;
  auto machine = profile ? Machine::fromProfile(*profile, "registry test", &error) : nullptr;
  EXPECT_NE(machine, nullptr) << error;
  return machine;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = registryTestMachine();
    ASSERT_NE(machine_, nullptr);
    Machine::install(machine_);
  }
  void TearDown() override {
    EXPECT_EQ(machine_->registry().outstandingReferences(), 0);
    Machine::install(nullptr);
  }
  MachineRegistry& registry() { return machine_->registry(); }
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing

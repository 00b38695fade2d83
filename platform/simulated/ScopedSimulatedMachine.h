#pragma once
// Installs a simulated machine as the platform for the life of the object and
// removes it afterwards. Used by tests.

#include <memory>

#include "platform/simulated/SimulatedMachine.h"

namespace zor {

// Installs a machine for the life of the object and removes it after (tests).
class ScopedSimulatedMachine {
 public:
  explicit ScopedSimulatedMachine(std::shared_ptr<SimulatedMachine> machine);
  ~ScopedSimulatedMachine();
  ScopedSimulatedMachine(const ScopedSimulatedMachine&) = delete;
  ScopedSimulatedMachine& operator=(const ScopedSimulatedMachine&) = delete;
  SimulatedMachine& machine() const { return *machine_; }

 private:
  std::shared_ptr<SimulatedMachine> machine_;
};

}  // namespace zor

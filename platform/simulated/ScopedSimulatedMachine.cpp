#include "platform/simulated/ScopedSimulatedMachine.h"

namespace zor {

ScopedSimulatedMachine::ScopedSimulatedMachine(std::shared_ptr<SimulatedMachine> machine)
    : machine_(std::move(machine)) {
  SimulatedMachine::install(machine_);
}

ScopedSimulatedMachine::~ScopedSimulatedMachine() {
  SimulatedMachine::install(nullptr);
}

}  // namespace zor

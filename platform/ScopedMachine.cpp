#include "platform/ScopedMachine.h"

namespace zor {

ScopedMachine::ScopedMachine(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {
  Machine::install(machine_);
}

ScopedMachine::~ScopedMachine() {
  Machine::install(nullptr);
}

}  // namespace zor

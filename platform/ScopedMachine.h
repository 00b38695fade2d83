#pragma once
// Installs a machine as the platform for the life of the object and
// removes it afterwards. Used by tests.

#include <memory>

#include "platform/Machine.h"

namespace zor {

// Installs a machine for the life of the object and removes it after (tests).
class ScopedMachine {
 public:
  explicit ScopedMachine(std::shared_ptr<Machine> machine);
  ~ScopedMachine();
  ScopedMachine(const ScopedMachine&) = delete;
  ScopedMachine& operator=(const ScopedMachine&) = delete;
  Machine& machine() const { return *machine_; }

 private:
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor

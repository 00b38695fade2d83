#pragma once
// The operating-system services of the running Linux machine: everything the
// machine's description gives (kernel variables, host UUID, names, files),
// and the process table read live from /proc on every query, since processes
// come and go while the machine runs. Built by LinuxMachine.

#include <memory>

#include "platform/MachineSystem.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class LinuxSystem final : public MachineSystem {
 public:
  static std::shared_ptr<LinuxSystem> make(LinuxRoot root);

  std::string processTable() override;

 private:
  explicit LinuxSystem(LinuxRoot root) : root_(std::move(root)) {}
  LinuxRoot root_;
};

}  // namespace zor::linuxfs

#include "platform/linux/LinuxSystem.h"

#include "platform/linux/LinuxProcessTable.h"

namespace zor::linuxfs {

std::shared_ptr<LinuxSystem> LinuxSystem::make(LinuxRoot root) {
  return std::shared_ptr<LinuxSystem>(new LinuxSystem(std::move(root)));
}

std::string LinuxSystem::processTable() {
  return LinuxProcessTable::records(root_);
}

}  // namespace zor::linuxfs

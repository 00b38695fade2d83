#pragma once
// The running machine's process table read from /proc: one record per
// process (SystemServices.h's kinfo_proc layout) with its id, command name
// (/proc/PID/comm) and effective user id (the second "Uid:" number of
// /proc/PID/status). A process that ends while the table is read is left
// out. Served by the running machine's system services for the process
// queries of the machine description.

#include <string>

#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class LinuxProcessTable {
 public:
  static std::string records(const LinuxRoot& root);
};

}  // namespace zor::linuxfs

#pragma once
// The running machine's kernel variables in the form the machine profile
// keeps them ("Sysctl"): processor counts, clocks and
// features from /proc/cpuinfo and /sys/devices/system/cpu, caches from cpu0's
// cache folders, memory from /proc/meminfo, the kernel's release and version
// from /proc/sys/kernel. A variable Linux gives no answer for is left out, so
// its query fails as the machine description expects of an unknown value.
// Built by LinuxMachine.

#include "platform/PropertyList.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class LinuxKernelVariables {
 public:
  static PlistDictionary read(const LinuxRoot& root);
  // "Linux Kernel Version 6.1.0-13-amd64: #1 SMP ...", the shape whose number
  // the machine description takes from the first digit up to the colon.
  static std::string kernelVersion(const std::string& release, const std::string& build);
  // "0-3,6" -> 5: the kernel's list form of CPU numbers; nothing for bad text.
  static std::optional<std::int64_t> countCPUList(const std::string& list);
  // "32K", "8192K", "12M" -> bytes; nothing for bad text.
  static std::optional<std::int64_t> cacheSize(const std::string& text);
};

}  // namespace zor::linuxfs

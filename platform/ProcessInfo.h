#pragma once
// The process-information object: one shared instance per process that
// answers questions about the running process and its operating system.
// Used by the OS and process information of system/ (which adds its own
// operations on top) and by the machine description.

#include <string>

namespace zor {

class ProcessInfo {
 public:
  static ProcessInfo& processInfo();

  // The operating system's version as a person reads it
  // ("Version 10.6.8 (Build 10K549)"); "" when the platform does not say.
  std::string operatingSystemVersionString() const;
  // The process's own identifier.
  int processIdentifier() const;

 private:
  ProcessInfo() = default;
};

}  // namespace zor

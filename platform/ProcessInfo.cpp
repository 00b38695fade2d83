#include "platform/ProcessInfo.h"

#include <unistd.h>

#include "platform/SystemBackend.h"

namespace zor {

ProcessInfo& ProcessInfo::processInfo() {
  static ProcessInfo shared;
  return shared;
}

std::string ProcessInfo::operatingSystemVersionString() const {
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr) return "";
  return backend->operatingSystemVersionString().value_or("");
}

int ProcessInfo::processIdentifier() const {
  return static_cast<int>(::getpid());
}

}  // namespace zor

#pragma once
// The simulated backend's loader: a computer that is not there, described by
// a machine profile (the built-in demo machine or a profile file) and served
// by the simulated drivers. Used by the programs' start-up, the tests and the
// benchmarks.

#include <memory>
#include <string>

#include "platform/Machine.h"

namespace zor {

class SimulatedMachine {
 public:
  // The embedded profile of the demo machine.
  static constexpr const char* kDemoProfilePath = "machines/intel-notebook.plist";

  // "demo" (or empty) is the built-in demo machine, anything else a profile
  // file path. Null and one line naming the file and the reason on failure.
  static std::shared_ptr<Machine> load(const std::string& machine, std::string* errorLine);
};

}  // namespace zor

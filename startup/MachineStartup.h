#pragma once
// How both programs (zor-widget-host and zor-sensors) choose, load and
// install their machine, so that the same command line gives the same
// machine, the same message and the same exit code in each:
//   --machine this   the running Linux machine (--root DIR: a recorded tree of one)
//   --machine demo   the built-in demo machine
//   --machine FILE   a machine profile
//   (none)           the running machine when it shows a sensor, else the
//                    demo machine, with one line saying why
// Each program parses its own command line and hands the two values here.

#include <memory>
#include <optional>
#include <string>

#include "platform/Machine.h"

namespace zor {

class MachineStartup {
 public:
  // A command line that cannot work (e.g. --root without --machine this).
  static constexpr int kExitCommandLine = 2;
  // A machine that cannot be loaded (a bad profile, an unreadable tree).
  static constexpr int kExitMachine = 1;

  enum class Kind { Demo, Profile, ThisComputer };

  struct Request {
    std::optional<std::string> machine;  // "this", "demo" or a profile file; none: choose
    std::optional<std::string> root;     // with "this": a recorded tree instead of "/"
  };

  struct Outcome {
    std::shared_ptr<Machine> machine;  // installed; null on failure
    Kind kind = Kind::Demo;
    std::string source;     // the profile file, or the tree read
    std::string notice;     // why the demo machine stands in, or ""
    std::string errorLine;  // on failure
    int exitCode = 0;       // on failure, kExitCommandLine or kExitMachine
  };

  // Loads the machine asked for and installs it.
  static Outcome start(const Request& request);
  // The choice made without --machine, looking at the machine under
  // `directory` ("/" for the programs, a recorded tree in tests).
  static Outcome chooseBetween(const std::string& directory);
  // "Machine: NAME -- ...": what the readings are.
  static std::string describe(const Outcome& outcome);
};

}  // namespace zor

#include "startup/MachineStartup.h"

#include <sys/stat.h>

#include "platform/linux/LinuxMachine.h"
#include "platform/simulated/SimulatedMachine.h"

namespace zor {
namespace {

constexpr const char* kThisMachine = "this";

MachineStartup::Outcome failure(int exitCode, std::string line) {
  MachineStartup::Outcome outcome;
  outcome.exitCode = exitCode;
  outcome.errorLine = std::move(line);
  return outcome;
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

MachineStartup::Outcome installed(std::shared_ptr<Machine> machine, MachineStartup::Kind kind,
                                  std::string source) {
  Machine::install(machine);
  MachineStartup::Outcome outcome;
  outcome.machine = std::move(machine);
  outcome.kind = kind;
  outcome.source = std::move(source);
  return outcome;
}

MachineStartup::Outcome loadProfile(const std::string& machine) {
  std::string errorLine;
  auto loaded = SimulatedMachine::load(machine, &errorLine);
  if (!loaded) return failure(MachineStartup::kExitMachine, errorLine);
  const auto kind = loaded->isDemo() ? MachineStartup::Kind::Demo : MachineStartup::Kind::Profile;
  return installed(loaded, kind, machine);
}

MachineStartup::Outcome loadThisMachine(const std::string& directory) {
  if (!isFolder(directory)) {
    return failure(MachineStartup::kExitMachine,
                   "Cannot read the Linux machine under \"" + directory + "\": no such folder");
  }
  std::string errorLine;
  auto machine = linuxfs::LinuxMachine::build(linuxfs::LinuxRoot(directory), &errorLine);
  if (!machine) return failure(MachineStartup::kExitMachine, errorLine);
  return installed(machine, MachineStartup::Kind::ThisComputer, directory);
}

}  // namespace

// No machine named: this computer when it shows a sensor, else the demo machine.
MachineStartup::Outcome MachineStartup::chooseBetween(const std::string& directory) {
  const linuxfs::LinuxRoot root(directory);
  std::string reason;
  std::string errorLine;
  const PlistDictionary profile = linuxfs::LinuxMachine::profile(root);
  if (linuxfs::LinuxMachine::liveEntryCount(profile) > 0) {
    if (auto machine = linuxfs::LinuxMachine::build(root, profile, &errorLine)) {
      return installed(machine, MachineStartup::Kind::ThisComputer, directory);
    }
    reason = "this computer cannot be read (" + errorLine + ")";
  } else if (root.list("/sys/class/hwmon").empty()) {
    reason = "this computer shows no hardware sensors (no /sys/class/hwmon)";
  } else {
    reason = "this computer shows no hardware sensors (none readable under /sys/class/hwmon)";
  }
  MachineStartup::Outcome outcome = loadProfile("demo");
  if (outcome.machine) outcome.notice = reason + ": showing the simulated demo machine";
  return outcome;
}

MachineStartup::Outcome MachineStartup::start(const Request& request) {
  if (request.root && request.machine != kThisMachine) {
    return failure(kExitCommandLine,
                   "--root reads a recorded Linux tree: use it with --machine this");
  }
  if (!request.machine) return chooseBetween("/");
  if (*request.machine == kThisMachine) return loadThisMachine(request.root.value_or("/"));
  return loadProfile(*request.machine);
}

std::string MachineStartup::describe(const Outcome& outcome) {
  const std::string name = outcome.machine ? outcome.machine->name() : std::string();
  switch (outcome.kind) {
    case Kind::Demo:
      return "Machine: " + name +
             " -- the built-in demo machine. It is SIMULATED: the readings are made up, not "
             "measured on this computer.";
    case Kind::Profile:
      return "Machine: " + name + " -- simulated from the profile " + outcome.source +
             "; the readings are not measured on this computer.";
    case Kind::ThisComputer:
      if (outcome.source != "/") {
        return "Machine: " + name + " -- read from the recorded Linux tree " + outcome.source + ".";
      }
      return "Machine: " + name + " -- this computer, read live.";
  }
  return "Machine: " + name;
}

}  // namespace zor

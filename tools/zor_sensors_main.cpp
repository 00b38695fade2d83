// zor-sensors: lists every sensor of a machine in the widget's sorted order,
// as text or as one JSON array, with readings formatted as the widget shows
// them (under the machine's own sensor names, with their limits), or once in
// the metrics text format. Loads the plug-in, makes one
// controller and lists what it holds.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/MachineProfileRecorder.h"
#include "platform/UserDefaults.h"
#include "plugin/PluginLoader.h"
#include "startup/MachineStartup.h"
#include "system/ZORMachineInfo.h"
#include "widget/OwnSensorSettings.h"
#include "widget/PluginController.h"
#include "widget/PrometheusExposition.h"
#include "widget/SensorListing.h"

namespace {

constexpr const char* kUsage =
    "usage: zor-sensors [--machine this|demo|PROFILE.plist] [--root DIR] [--json | --prometheus] "
    "[--unit C|F|K] [--prefs DIR] [-DefaultsKey value ...]\n"
    "       zor-sensors --machine this [--root DIR] --dump-profile FILE [--keep-identity]";

struct Options {
  std::optional<std::string> machine;  // none: chosen at start-up
  std::optional<std::string> root;
  std::optional<std::string> dumpProfile;
  bool keepIdentity = false;
  bool json = false;
  bool prometheus = false;  // the metrics text once, for a textfile collector or cron
  std::int32_t unitIndex = 0;
  std::optional<std::string> preferencesDirectory;
};

// One clear line and exit code 2 for anything the command line gets wrong.
int usageError(const std::string& problem) {
  std::fprintf(stderr, "zor-sensors: %s (see --help)\n", problem.c_str());
  return 2;
}

std::optional<std::int32_t> unitIndexFor(std::string_view unit) {
  if (unit == "C") return 0;
  if (unit == "F") return 1;
  if (unit == "K") return 2;
  return std::nullopt;
}

// Parses the arguments; an error text when they are wrong.
std::optional<std::string> parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    std::string_view value;
    bool hasInlineValue = false;
    if (auto equals = argument.find('=');
        argument.starts_with("--") && equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
      hasInlineValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasInlineValue) return true;
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    if (argument == "--json" && !hasInlineValue) {
      options.json = true;
    } else if (argument == "--prometheus" && !hasInlineValue) {
      options.prometheus = true;
    } else if (argument == "--machine") {
      if (!takeValue() || value.empty()) {
        return "--machine needs a value (this, demo or a profile file)";
      }
      options.machine = std::string(value);
    } else if (argument == "--root") {
      if (!takeValue() || value.empty()) return "--root needs a folder";
      options.root = std::string(value);
    } else if (argument == "--dump-profile") {
      if (!takeValue() || value.empty()) return "--dump-profile needs a file";
      options.dumpProfile = std::string(value);
    } else if (argument == "--keep-identity" && !hasInlineValue) {
      options.keepIdentity = true;
    } else if (argument == "--unit") {
      if (!takeValue()) return "--unit needs a value (C, F or K)";
      auto index = unitIndexFor(value);
      if (!index) return "unknown unit '" + std::string(value) + "' (use C, F or K)";
      options.unitIndex = *index;
    } else if (argument == "--prefs") {
      if (!takeValue() || value.empty()) return "--prefs needs a folder";
      options.preferencesDirectory = std::string(value);
    } else if (argument == "--help" || argument == "-h") {
      return "";
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-' && !hasInlineValue) {
      // "-Key value": a user default for this run (read by the user defaults).
      if (i + 1 >= argc) return "user default '" + std::string(argument) + "' needs a value";
      ++i;
    } else {
      return "unknown argument '" + std::string(argv[i]) + "'";
    }
  }
  if (options.json && options.prometheus) return "--json and --prometheus exclude each other";
  if (options.dumpProfile && options.machine != "this") {
    return "--dump-profile records this computer: use it with --machine this";
  }
  if (options.keepIdentity && !options.dumpProfile) return "--keep-identity needs --dump-profile";
  return std::nullopt;
}

// Writes the installed machine as a profile; the exit code.
int dumpProfile(const zor::Machine& machine, const Options& options) {
  std::string error;
  if (!zor::MachineProfileRecorder::write(machine, options.keepIdentity, *options.dumpProfile,
                                          &error)) {
    std::fprintf(stderr, "zor-sensors: cannot write \"%s\": %s\n", options.dumpProfile->c_str(),
                 error.c_str());
    return 1;
  }
  std::printf("Machine: %s recorded in %s%s\n", machine.name().c_str(),
              options.dumpProfile->c_str(),
              options.keepIdentity ? "" : " (serial numbers and UUIDs replaced by placeholders)");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (auto problem = parse(argc, argv, options)) {
    if (problem->empty()) {
      std::printf("%s\n", kUsage);
      return 0;
    }
    return usageError(*problem);
  }
  const auto started = zor::MachineStartup::start({options.machine, options.root});
  if (!started.machine) {
    std::fprintf(stderr, "zor-sensors: %s\n", started.errorLine.c_str());
    return started.exitCode;
  }
  if (!started.notice.empty()) std::fprintf(stderr, "%s\n", started.notice.c_str());
  const std::shared_ptr<zor::Machine>& machine = started.machine;
  if (options.dumpProfile) return dumpProfile(*machine, options);
  zor::UserDefaults::standard().setArgumentDomain(argc, argv);
  if (options.preferencesDirectory) {
    zor::UserDefaults::setPreferencesDirectory(*options.preferencesDirectory);
  }

  zor::loadPlugin();
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  // The machine's own sensor names and limits, read before anything else is.
  const zor::OwnSensorSettings settings = zor::OwnSensorSettings::load(
      controller->machineInfo() ? controller->machineInfo()->machineSerialNumber() : "");
  if (!options.preferencesDirectory) {
    // Without --prefs the listing must not touch the widget's stored choices
    // (choosing a unit stores it): from here on its preferences live in memory only.
    zor::UserDefaults::setKeptInMemory(true);
  }
  controller->setTemperatureUnitIndex(options.unitIndex);

  if (options.prometheus) {
    std::fputs(zor::PrometheusExposition::render(*controller).c_str(), stdout);
  } else if (options.json) {
    // Texts from hardware may hold bytes that are not UTF-8: replace them rather than fail.
    std::string listing = zor::SensorListing::json(*controller, settings)
                              .dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", listing.c_str());
  } else {
    const bool live = started.kind == zor::MachineStartup::Kind::ThisComputer;
    std::printf("Machine: %s (%s)\n", machine->name().c_str(),
                live ? "this computer" : "simulated");
    std::fputs(zor::SensorListing::text(*controller, settings).c_str(), stdout);
  }
  if (controller->sensorArray().empty()) {
    // In JSON and metrics mode the output stays clean on standard output; the notice goes beside
    // it.
    std::fprintf(options.json || options.prometheus ? stderr : stdout, "%s\n",
                 controller->localizedStatusMessage().c_str());
  }
  return 0;
}

// zor-sensors: lists every sensor of a machine in the widget's sorted order,
// as text or as one JSON array, with readings formatted as the widget shows
// them. Loads the plug-in, makes one controller and lists what it holds.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "widget/PluginController.h"
#include "widget/PluginLoader.h"
#include "widget/SensorListing.h"

namespace {

constexpr const char* kUsage =
    "usage: zor-sensors [--machine demo|PROFILE.plist] [--json] [--unit C|F|K] [--prefs DIR] "
    "[-DefaultsKey value ...]";

struct Options {
  std::string machine = "demo";
  bool json = false;
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
    } else if (argument == "--machine") {
      if (!takeValue() || value.empty()) return "--machine needs a value (demo or a profile file)";
      options.machine = std::string(value);
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
  return std::nullopt;
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
  std::string errorLine;
  std::shared_ptr<zor::Machine> machine = zor::SimulatedMachine::load(options.machine, &errorLine);
  if (!machine) {
    std::fprintf(stderr, "zor-sensors: %s\n", errorLine.c_str());
    return 2;
  }
  zor::Machine::install(machine);
  zor::UserDefaults::standard().setArgumentDomain(argc, argv);
  if (options.preferencesDirectory) {
    zor::UserDefaults::setPreferencesDirectory(*options.preferencesDirectory);
  } else {
    // Without --prefs the listing must not touch the widget's stored choices
    // (choosing a unit stores it): its preferences live in memory only.
    zor::UserDefaults::setKeptInMemory(true);
  }

  zor::loadPlugin();
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  controller->setTemperatureUnitIndex(options.unitIndex);

  if (options.json) {
    // Texts from hardware may hold bytes that are not UTF-8: replace them rather than fail.
    std::string listing = zor::SensorListing::json(*controller)
                              .dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", listing.c_str());
  } else {
    std::printf("Machine: %s (simulated)\n", machine->name().c_str());
    std::fputs(zor::SensorListing::text(*controller).c_str(), stdout);
  }
  if (controller->sensorArray().empty()) {
    // In JSON mode the array stays clean on standard output; the notice goes beside it.
    std::fprintf(options.json ? stderr : stdout, "%s\n",
                 controller->localizedStatusMessage().c_str());
  }
  return 0;
}

// zor-sensors: lists every sensor of a machine in the widget's sorted order,
// as text or as one JSON array, with readings formatted as the widget shows
// them. Loads the plug-in, makes one controller and asks it.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/simulated/SimulatedMachine.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "widget/PluginController.h"
#include "widget/PluginLoader.h"

namespace {

constexpr const char* kUsage =
    "usage: zor-sensors [--machine demo|PROFILE.plist] [--json] [--unit C|F|K]";

struct Options {
  std::string machine = "demo";
  bool json = false;
  std::int32_t unitIndex = 0;
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
    } else if (argument == "--help" || argument == "-h") {
      return "";
    } else {
      return "unknown argument '" + std::string(argv[i]) + "'";
    }
  }
  return std::nullopt;
}

std::string trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
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
  std::shared_ptr<zor::SimulatedMachine> machine =
      zor::SimulatedMachine::load(options.machine, &errorLine);
  if (!machine) {
    std::fprintf(stderr, "zor-sensors: %s\n", errorLine.c_str());
    return 2;
  }
  zor::SimulatedMachine::install(machine);

  zor::loadPlugin();
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  controller->setTemperatureUnitIndex(options.unitIndex);

  const auto& sensors = controller->sensorArray();
  if (!options.json) {
    std::printf("Machine: %s%s\n", machine->name().c_str(), " (simulated)");
  }
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    zor::ZORSensor& sensor = *sensors[i];
    auto index = static_cast<std::int32_t>(i);
    // One reading per sensor: the raw value, the value and the reading text agree.
    std::int32_t raw = sensor.rawValue();
    std::string reading = controller->localizedReadingForSensorAtIndex(index, raw);
    std::string name = controller->localizedSensorNameAtIndex(index);
    if (!options.json) {
      std::printf("%3d  %-36s %12s  %s\n", index, name.c_str(), trimmed(reading).c_str(),
                  sensor.uniqueIdentifierRef().c_str());
      continue;
    }
    nlohmann::json entry = {
        {"index", index},
        {"uniqueIdentifier", sensor.uniqueIdentifier()},
        {"locationIdentifier", sensor.locationIdentifier()},
        {"localizedName", name},
        {"sensorName", sensor.sensorName()},
        {"quantityType", sensor.quantityType()},
        {"precision", sensor.precision()},
        {"accuracy", sensor.accuracy()},
        {"rawValue", raw},
        {"value", nullptr},
        {"unit", sensor.unit()},
        {"reading", reading},
    };
    if (raw != -1) entry["value"] = sensor.valueConverter()->valueForRawSensorValue(raw);
    list.push_back(std::move(entry));
  }

  if (options.json) {
    // Texts from hardware may hold bytes that are not UTF-8: replace them rather than fail.
    std::printf("%s\n", list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }
  if (sensors.empty()) {
    // In JSON mode the array stays clean on standard output; the notice goes beside it.
    std::fprintf(options.json ? stderr : stdout, "%s\n",
                 controller->localizedStatusMessage().c_str());
  }
  return 0;
}

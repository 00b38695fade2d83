#pragma once
// Every sensor of a controller, in its sorted order, as the sensor CLI
// prints it: one JSON array (index, identifiers, names, kinds, precision,
// raw value, value, unit and the widget's reading text) or aligned text
// lines. Each sensor is read once, so raw value, value and reading agree.

#include <nlohmann/json.hpp>
#include <string>

namespace zor {

class PluginController;

class SensorListing {
 public:
  // "value" is null when the raw value is -1 (no reading); "value" and
  // "unit" are in the sensor's own unit, "reading" in the controller's
  // temperature unit.
  static nlohmann::json json(PluginController& controller);
  // One line per sensor: index, localized name, reading, unique identifier.
  static std::string text(PluginController& controller);
};

}  // namespace zor

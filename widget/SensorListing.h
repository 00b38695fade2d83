#pragma once
// Every sensor of a controller, in its sorted order, as the sensor CLI
// prints it: one JSON array (index, identifiers, names, kinds, precision,
// raw value, value, unit, the widget's reading text, and the own name and
// limits where there are some) or aligned text lines. Each sensor is read
// once, so raw value, value and reading agree.

#include <nlohmann/json.hpp>
#include <string>

namespace zor {

class OwnSensorSettings;
class PluginController;

class SensorListing {
 public:
  // "value" is null when the raw value is -1 (no reading); "value", "unit",
  // "limit" (the upper limit: the own one, else the hardware's) and
  // "critical" (the hardware's) are in the sensor's own unit, "reading" in
  // the controller's temperature unit. "ownName", "limit" and "critical"
  // are there only where known.
  static nlohmann::json json(PluginController& controller, const OwnSensorSettings& settings);
  // The same with the settings stored for the controller's machine now.
  static nlohmann::json json(PluginController& controller);
  // One line per sensor: index, shown name (the own one, else the localized
  // one), reading, unique identifier; names and readings keep to their
  // columns whatever their length.
  static std::string text(PluginController& controller, const OwnSensorSettings& settings);
  static std::string text(PluginController& controller);
};

}  // namespace zor

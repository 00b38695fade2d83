#pragma once
// The widget's operations on own sensor names and upper limits, beside the
// controller's seventeen: the name a sensor is shown under (the person's own
// name, else the controller's localized name), its upper and critical limits
// as reading texts, and storing what the person typed on the back. Sensor
// indices and display indices are the controller's. Own settings are read
// afresh from the preferences on every call, so a name given in one widget
// shows in every other one on its next look. Reached by the script through
// OwnScriptCalls; the sensor listing uses shownSensorName too.

#include <cstdint>
#include <string>

namespace zor {

class OwnSensorSettings;
class PluginController;

class OwnSensorOperations {
 public:
  // The own name of a sensor, else its localized name; "" for no sensor.
  static std::string shownSensorNameAtIndex(PluginController& controller, std::int32_t sensorIndex);
  static std::string shownSensorName(PluginController& controller, std::int32_t sensorIndex,
                                     const OwnSensorSettings& settings);
  // The shown name of the sensor at a display position, shortened to the
  // label width as the controller shortens names; "" for no sensor.
  static std::string shownSensorNameAtDisplayIndex(PluginController& controller,
                                                   std::int32_t displayIndex);
  // The own name alone; "" when there is none.
  static std::string ownSensorNameAtIndex(PluginController& controller, std::int32_t sensorIndex);
  // Stores `name` as the sensor's own name ("" gives the original name back).
  // "" when stored, else the localized reason why not.
  static std::string setOwnSensorNameAtIndex(PluginController& controller, std::int32_t sensorIndex,
                                             const std::string& name);

  // The upper limit (the person's own, else the hardware's) and the
  // hardware's critical limit, as reading texts in the temperature unit the
  // controller shows ("   80.0°C"); "" when there is none.
  static std::string sensorLimitAtIndex(PluginController& controller, std::int32_t sensorIndex);
  static std::string criticalSensorLimitAtIndex(PluginController& controller,
                                                std::int32_t sensorIndex);
  // The person's own limit as a plain number in the unit shown ("176" for
  // 80 degrees Celsius in Fahrenheit), for editing; "" when there is none.
  static std::string ownSensorLimitAtIndex(PluginController& controller, std::int32_t sensorIndex);
  // Stores a number typed in the unit shown as the sensor's own upper limit
  // ("" removes it). "" when stored, else the localized reason why not.
  static std::string setOwnSensorLimitAtIndex(PluginController& controller,
                                              std::int32_t sensorIndex, const std::string& limit);
};

}  // namespace zor

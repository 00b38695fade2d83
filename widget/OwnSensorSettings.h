#pragma once
// The names and upper limits a person gave the sensors of one machine. They
// belong to the machine, not to one widget: every widget instance and the
// sensor CLI on it show them. Stored in the widget's preferences domain, in
// the dictionary of the machine's serial number, under two keys of ours:
//
//   "ZOROwnSensorNames"  = { sensor unique identifier -> name (string) }
//   "ZOROwnSensorLimits" = { sensor unique identifier -> upper limit (real,
//                            in the sensor's own unit: degrees Celsius, volts ...) }
//
// Builds that do not know these keys read the machine's choices as before and
// keep the keys as they are. What does not pass OwnSensorInput's checks, or
// has the wrong type, is left out when read, so a hand-edited file cannot put
// a control character on a label. Used by OwnSensorOperations and SensorListing.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zor {

class OwnSensorSettings {
 public:
  static constexpr const char* kNamesKey = "ZOROwnSensorNames";
  static constexpr const char* kLimitsKey = "ZOROwnSensorLimits";

  // The settings stored for the machine with this serial number, read now;
  // empty when there are none (or no preferences domain).
  static OwnSensorSettings load(const std::string& machineSerialNumber);

  std::optional<std::string> name(std::string_view sensorID) const;
  std::optional<double> limit(std::string_view sensorID) const;

  // Stores a sensor's name or limit for the machine (none removes it) and
  // writes the preferences at once. False when they could not be written.
  static bool storeName(const std::string& machineSerialNumber, const std::string& sensorID,
                        const std::optional<std::string>& name);
  static bool storeLimit(const std::string& machineSerialNumber, const std::string& sensorID,
                         std::optional<double> limit);

 private:
  std::map<std::string, std::string, std::less<>> names_;
  std::map<std::string, double, std::less<>> limits_;
};

}  // namespace zor

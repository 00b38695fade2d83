#pragma once
// A machine's sensors in the text format Prometheus scrapes (version 0.0.4):
// one gauge family per quantity in its base unit, one sample per sensor that
// has a reading, labelled with the sensor's unique identifier, its location
// identifier and its English display name, and a "zorsensors_machine_info"
// sample naming the machine. Readings are taken at render time through a
// widget controller, one reading per sensor, so they go through the same
// sensor objects and driver caches as the widget's readings. Used by the
// widget host (GET /metrics) and by `zor-sensors --prometheus`.
//
// Not thread-safe, like the controller it reads through.

#include <memory>
#include <string>
#include <string_view>

namespace zor {

class PluginController;

class PrometheusExposition {
 public:
  static constexpr const char* kContentType = "text/plain; version=0.0.4";

  // The text of every exported sensor of `controller`, read now. A sensor is
  // left out when its quantity type is not exported (it is then not read),
  // when its unit is not one its family converts, and when it has no reading.
  static std::string render(PluginController& controller);

  // The same through a controller of the exposition's own, made on the first
  // call (the machine's sensors are discovered once) and kept.
  std::string render();

  // `value` as a label value: backslash, double quote and line feed escaped,
  // bytes that are not UTF-8 replaced by U+FFFD.
  static std::string escapedLabelValue(std::string_view value);

 private:
  std::shared_ptr<PluginController> controller_;
};

}  // namespace zor

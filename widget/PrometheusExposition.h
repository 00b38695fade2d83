#pragma once
// A machine's sensors in the text format Prometheus scrapes (version 0.0.4):
// one gauge family per quantity in its base unit, one sample per sensor that
// has a reading, labelled with the sensor's unique identifier, its location
// identifier and its English display name, and a "zorsensors_machine_info"
// sample naming the machine. Label values are escaped as the format
// requires (backslash, double quote, line feed); bytes that are not UTF-8
// become U+FFFD. Readings are taken at render time through a widget
// controller, one reading per sensor, so they go through the same sensor
// objects and driver caches as the widget's readings. Used by the widget
// host (GET /metrics) and by `zor-sensors --prometheus`.
//
// Not thread-safe, like the controller it reads through.

#include <memory>
#include <string>

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

 private:
  std::shared_ptr<PluginController> controller_;
};

}  // namespace zor

#include "widget/SensorListing.h"

#include "platform/StringFormat.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "widget/PluginController.h"

namespace zor {
namespace {

std::string withoutLeadingSpaces(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

nlohmann::json SensorListing::json(PluginController& controller) {
  nlohmann::json list = nlohmann::json::array();
  const auto& sensors = controller.sensorArray();
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    ZORSensor& sensor = *sensors[i];
    auto index = static_cast<std::int32_t>(i);
    std::int32_t raw = sensor.rawValue();
    nlohmann::json entry = {
        {"index", index},
        {"uniqueIdentifier", sensor.uniqueIdentifier()},
        {"locationIdentifier", sensor.locationIdentifier()},
        {"localizedName", controller.localizedSensorNameAtIndex(index)},
        {"sensorName", sensor.sensorName()},
        {"quantityType", sensor.quantityType()},
        {"precision", sensor.precision()},
        {"accuracy", sensor.accuracy()},
        {"rawValue", raw},
        {"value", nullptr},
        {"unit", sensor.unit()},
        {"reading", controller.localizedReadingForSensorAtIndex(index, raw)},
    };
    if (raw != -1) entry["value"] = sensor.valueConverter()->valueForRawSensorValue(raw);
    list.push_back(std::move(entry));
  }
  return list;
}

std::string SensorListing::text(PluginController& controller) {
  std::string out;
  const auto& sensors = controller.sensorArray();
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    auto index = static_cast<std::int32_t>(i);
    std::string reading = withoutLeadingSpaces(controller.localizedReadingForSensorAtIndex(index));
    out += formatString("%3d  %-36s %12s  %s\n", index,
                        controller.localizedSensorNameAtIndex(index).c_str(), reading.c_str(),
                        sensors[i]->uniqueIdentifierRef().c_str());
  }
  return out;
}

}  // namespace zor

#include "widget/SensorListing.h"

#include "platform/StringFormat.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "system/ZORMachineInfo.h"
#include "widget/OwnSensorOperations.h"
#include "widget/OwnSensorSettings.h"
#include "widget/PluginController.h"
#include "widget/TerminalColumn.h"

namespace zor {
namespace {

constexpr std::size_t kNameColumn = 36;
constexpr std::size_t kReadingColumn = 12;

std::string withoutLeadingSpaces(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

OwnSensorSettings storedSettings(const PluginController& controller) {
  return controller.machineInfo()
             ? OwnSensorSettings::load(controller.machineInfo()->machineSerialNumber())
             : OwnSensorSettings();
}

}  // namespace

nlohmann::json SensorListing::json(PluginController& controller,
                                   const OwnSensorSettings& settings) {
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
    if (auto own = settings.name(sensor.uniqueIdentifierRef())) entry["ownName"] = *own;
    const SensorLimits hardware = sensor.hardwareLimits();
    std::optional<double> limit = settings.limit(sensor.uniqueIdentifierRef());
    if (!limit) limit = hardware.upper;
    if (limit) entry["limit"] = *limit;
    if (hardware.critical) entry["critical"] = *hardware.critical;
    list.push_back(std::move(entry));
  }
  return list;
}

nlohmann::json SensorListing::json(PluginController& controller) {
  return json(controller, storedSettings(controller));
}

std::string SensorListing::text(PluginController& controller, const OwnSensorSettings& settings) {
  std::string out;
  const auto& sensors = controller.sensorArray();
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    auto index = static_cast<std::int32_t>(i);
    std::string reading = withoutLeadingSpaces(controller.localizedReadingForSensorAtIndex(index));
    out += formatString(
        "%3d  %s %s  %s\n", index,
        TerminalColumn::fit(OwnSensorOperations::shownSensorName(controller, index, settings),
                            kNameColumn, TerminalColumn::Align::Left)
            .c_str(),
        TerminalColumn::fit(reading, kReadingColumn, TerminalColumn::Align::Right).c_str(),
        sensors[i]->uniqueIdentifierRef().c_str());
  }
  return out;
}

std::string SensorListing::text(PluginController& controller) {
  return text(controller, storedSettings(controller));
}

}  // namespace zor

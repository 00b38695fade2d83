#include "widget/OwnSensorOperations.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "platform/Bundle.h"
#include "platform/CurrentLocale.h"
#include "sensors/ZORSensor.h"
#include "system/ZORMachineInfo.h"
#include "widget/OwnSensorInput.h"
#include "widget/OwnSensorSettings.h"
#include "widget/PluginController.h"

namespace zor {
namespace {

constexpr std::int32_t kTemperature = 1;

ZORSensor* sensorAt(const PluginController& controller, std::int32_t sensorIndex) {
  const auto& sensors = controller.sensorArray();
  if (sensorIndex < 0 || static_cast<std::size_t>(sensorIndex) >= sensors.size()) return nullptr;
  return sensors[static_cast<std::size_t>(sensorIndex)].get();
}

std::optional<std::string> serialNumberOf(const PluginController& controller) {
  if (!controller.machineInfo()) return std::nullopt;
  return controller.machineInfo()->machineSerialNumber();
}

OwnSensorSettings settingsOf(const PluginController& controller) {
  std::optional<std::string> serial = serialNumberOf(controller);
  return serial ? OwnSensorSettings::load(*serial) : OwnSensorSettings();
}

std::string localized(const char* text) {
  return Bundle::pluginBundle().localizedString(text, text);
}

// Temperatures are typed and shown in the controller's unit and stored in
// degrees Celsius; every other quantity in its own unit.
bool isTemperature(const ZORSensor& sensor) {
  return sensor.quantityType() == kTemperature;
}
double shownFromStored(PluginController& controller, const ZORSensor& sensor, double value) {
  if (!isTemperature(sensor)) return value;
  switch (controller.preferredTemperatureUnitIndex()) {
    case 1:
      return (9.0 * value) / 5.0 + 32.0;
    case 2:
      return value + 273.15;
    default:
      return value;
  }
}
double storedFromShown(PluginController& controller, const ZORSensor& sensor, double value) {
  if (!isTemperature(sensor)) return value;
  switch (controller.preferredTemperatureUnitIndex()) {
    case 1:
      return (value - 32.0) * 5.0 / 9.0;
    case 2:
      return value - 273.15;
    default:
      return value;
  }
}

// Why a setting cannot be stored for this sensor, or null when it can.
// What a setter answers once the settings were written, or could not be.
std::string answerForStore(bool stored) {
  return stored ? "" : localized("The settings could not be stored.");
}

const char* refusalForSensor(const PluginController& controller, const ZORSensor* sensor) {
  if (sensor == nullptr) return "There is no such sensor.";
  if (!serialNumberOf(controller)) return "The settings could not be stored.";
  if (!OwnSensorInput::isStorableText(sensor->uniqueIdentifierRef())) {
    return "This sensor cannot keep settings of its own.";
  }
  return nullptr;
}

std::optional<double> upperLimit(const ZORSensor& sensor, const OwnSensorSettings& settings) {
  std::optional<double> own = settings.limit(sensor.uniqueIdentifierRef());
  return own ? own : sensor.hardwareLimits().upper;
}

}  // namespace

std::string OwnSensorOperations::shownSensorName(PluginController& controller,
                                                 std::int32_t sensorIndex,
                                                 const OwnSensorSettings& settings) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (sensor == nullptr) return "";
  std::optional<std::string> own = settings.name(sensor->uniqueIdentifierRef());
  return own ? *own : controller.localizedSensorNameAtIndex(sensorIndex);
}

std::string OwnSensorOperations::shownSensorNameAtIndex(PluginController& controller,
                                                        std::int32_t sensorIndex) {
  if (sensorAt(controller, sensorIndex) == nullptr) return "";
  return shownSensorName(controller, sensorIndex, settingsOf(controller));
}

std::string OwnSensorOperations::shownSensorNameAtDisplayIndex(PluginController& controller,
                                                               std::int32_t displayIndex) {
  std::string name = shownSensorNameAtIndex(
      controller, controller.preferredSensorIndexAtDisplayIndex(displayIndex));
  std::optional<std::string> pruned = controller.prunedSensorNameForName(name);
  return pruned ? *pruned : name + PluginController::ellipsis();
}

std::string OwnSensorOperations::ownSensorNameAtIndex(PluginController& controller,
                                                      std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (sensor == nullptr) return "";
  return settingsOf(controller).name(sensor->uniqueIdentifierRef()).value_or("");
}

std::string OwnSensorOperations::setOwnSensorNameAtIndex(PluginController& controller,
                                                         std::int32_t sensorIndex,
                                                         const std::string& name) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (const char* refusal = refusalForSensor(controller, sensor)) return localized(refusal);
  OwnSensorInput::Name checked = OwnSensorInput::name(name);
  if (checked.refusal != nullptr) return localized(checked.refusal);
  // A name equal to the original one is no name of one's own.
  const bool own =
      !checked.name.empty() && checked.name != controller.localizedSensorNameAtIndex(sensorIndex);
  return answerForStore(
      OwnSensorSettings::storeName(*serialNumberOf(controller), sensor->uniqueIdentifier(),
                                   own ? std::optional<std::string>(checked.name) : std::nullopt));
}

std::string OwnSensorOperations::sensorLimitAtIndex(PluginController& controller,
                                                    std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (sensor == nullptr) return "";
  std::optional<double> limit = upperLimit(*sensor, settingsOf(controller));
  return limit ? controller.localizedReadingForValue(sensorIndex, *limit) : "";
}

std::string OwnSensorOperations::criticalSensorLimitAtIndex(PluginController& controller,
                                                            std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (sensor == nullptr) return "";
  std::optional<double> critical = sensor->hardwareLimits().critical;
  return critical ? controller.localizedReadingForValue(sensorIndex, *critical) : "";
}

std::string OwnSensorOperations::ownSensorLimitAtIndex(PluginController& controller,
                                                       std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (sensor == nullptr) return "";
  std::optional<double> limit = settingsOf(controller).limit(sensor->uniqueIdentifierRef());
  if (!limit) return "";
  // Two decimals are more than any limit needs, and hide what the unit conversion leaves over.
  double shown = std::round(shownFromStored(controller, *sensor, *limit) * 100.0) / 100.0;
  if (shown == 0.0) shown = 0.0;  // no "-0"
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, shown);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, localeDecimalSeparator());
  }
  return text;
}

std::string OwnSensorOperations::setOwnSensorLimitAtIndex(PluginController& controller,
                                                          std::int32_t sensorIndex,
                                                          const std::string& limit) {
  ZORSensor* sensor = sensorAt(controller, sensorIndex);
  if (const char* refusal = refusalForSensor(controller, sensor)) return localized(refusal);
  OwnSensorInput::Limit checked = OwnSensorInput::limit(limit);
  if (checked.refusal != nullptr) return localized(checked.refusal);
  std::optional<double> stored;
  if (checked.value) {
    stored = storedFromShown(controller, *sensor, *checked.value);
    if (isTemperature(*sensor) && *stored < -273.15) {
      return localized("A temperature limit cannot be below absolute zero.");
    }
  }
  return answerForStore(OwnSensorSettings::storeLimit(*serialNumberOf(controller),
                                                      sensor->uniqueIdentifier(), stored));
}

}  // namespace zor

#include "widget/PrometheusExposition.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Utf8.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "system/ZORMachineInfo.h"
#include "widget/PluginController.h"

namespace zor {
namespace {

// A unit text of the sensors and what one of it is in the family's base unit.
struct UnitFactor {
  std::string_view unit;
  double factor;
};

// One gauge family: the sensors of one quantity type.
struct Family {
  std::int32_t quantityType;
  std::string_view name;
  std::string_view help;
  std::span<const UnitFactor> units;
};

// The names stay English whatever the user's language, so a series keeps its labels.
constexpr const char* kLabelLocalization = "en";

constexpr UnitFactor kCelsius[] = {{"C", 1.0}};
constexpr UnitFactor kVolts[] = {{"V", 1.0}, {"mV", 1e-3}};
constexpr UnitFactor kAmperes[] = {{"A", 1.0}, {"mA", 1e-3}};
constexpr UnitFactor kWatts[] = {{"W", 1.0}, {"mW", 1e-3}};
constexpr UnitFactor kRPM[] = {{"RPM", 1.0}, {"rpm", 1.0}};
// The CPU clock sensors report MHz.
constexpr UnitFactor kHertz[] = {{"Hz", 1.0}, {"kHz", 1e3}, {"MHz", 1e6}, {"GHz", 1e9}};

constexpr Family kFamilies[] = {
    {1, "zorsensors_temperature_celsius", "Temperature of a sensor in degrees Celsius.", kCelsius},
    {2, "zorsensors_voltage_volts", "Voltage of a sensor in volts.", kVolts},
    {3, "zorsensors_current_amperes", "Current of a sensor in amperes.", kAmperes},
    {4, "zorsensors_power_watts", "Power of a sensor in watts.", kWatts},
    {6, "zorsensors_fan_speed_rpm", "Speed of a fan in revolutions per minute.", kRPM},
    {13, "zorsensors_frequency_hertz", "Clock frequency in hertz.", kHertz},
};

const Family* familyFor(std::int32_t quantityType) {
  for (const auto& family : kFamilies) {
    if (family.quantityType == quantityType) return &family;
  }
  return nullptr;
}

std::optional<double> factorFor(const Family& family, std::string_view unit) {
  for (const auto& row : family.units) {
    if (row.unit == unit) return row.factor;
  }
  return std::nullopt;
}

// The shortest text that reads back as the same double, as the format's parser takes it.
std::string numberText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void appendHeader(std::string& out, std::string_view name, std::string_view help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" gauge\n");
}

std::string escapedLabelValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char32_t c : Utf8::decode(value)) {
    switch (c) {
      case U'\\':
        out += "\\\\";
        break;
      case U'"':
        out += "\\\"";
        break;
      case U'\n':
        out += "\\n";
        break;
      default:
        Utf8::append(out, c);
    }
  }
  return out;
}

void appendLabel(std::string& out, std::string_view name, std::string_view value, bool first) {
  if (!first) out += ',';
  out.append(name).append("=\"").append(escapedLabelValue(value)) += '"';
}

}  // namespace

std::string PrometheusExposition::render(PluginController& controller) {
  std::vector<std::string> samples(std::size(kFamilies));
  // Unique identifiers are meant to be distinct; a repeated one would make a
  // duplicate series, which the server drops, so only the first is written.
  std::unordered_set<std::string> written;
  const auto& sensors = controller.sensorArray();
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    ZORSensor& sensor = *sensors[i];
    const Family* family = familyFor(sensor.quantityType());
    if (family == nullptr) continue;
    std::optional<double> factor = factorFor(*family, sensor.unit());
    if (!factor) continue;
    if (written.count(sensor.uniqueIdentifierRef()) != 0) continue;
    std::int32_t raw = sensor.rawValue();
    if (raw == -1) continue;
    double value = sensor.valueConverter()->valueForRawSensorValue(raw) * *factor;
    if (!std::isfinite(value)) continue;
    written.insert(sensor.uniqueIdentifierRef());

    std::string& out = samples[static_cast<std::size_t>(family - kFamilies)];
    out.append(family->name) += '{';
    appendLabel(out, "sensor", sensor.uniqueIdentifierRef(), true);
    appendLabel(out, "location", sensor.locationIdentifierRef(), false);
    appendLabel(out, "name",
                controller.sensorNameAtIndexInLocalization(static_cast<std::int32_t>(i),
                                                           kLabelLocalization),
                false);
    out.append("} ").append(numberText(value)) += '\n';
  }

  std::string text;
  if (const auto& info = controller.machineInfo()) {
    appendHeader(text, "zorsensors_machine_info",
                 "The machine the sensors belong to: model, serial number and operating system.");
    text += "zorsensors_machine_info{";
    appendLabel(text, "model", info->appleModelCode(), true);
    appendLabel(text, "serial", info->machineSerialNumber(), false);
    appendLabel(text, "os", info->readableOperatingSystemVersion(), false);
    text += "} 1\n";
  }
  for (std::size_t f = 0; f < samples.size(); ++f) {
    if (samples[f].empty()) continue;
    appendHeader(text, kFamilies[f].name, kFamilies[f].help);
    text += samples[f];
  }
  return text;
}

std::string PrometheusExposition::render() {
  if (!controller_) {
    controller_ = std::make_shared<PluginController>();
    controller_->init();
  }
  return render(*controller_);
}

}  // namespace zor

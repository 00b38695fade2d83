#include "widget/ScriptBridge.h"

#include "widget/PluginController.h"

namespace zor {
namespace {

using Args = const std::vector<ScriptValue>&;

std::int32_t intArg(Args args, std::size_t i) {
  const auto* value = i < args.size() ? std::get_if<std::int32_t>(&args[i]) : nullptr;
  return value ? *value : 0;
}
float floatArg(Args args, std::size_t i) {
  const auto* value = i < args.size() ? std::get_if<float>(&args[i]) : nullptr;
  return value ? *value : 0.0f;
}
std::string stringArg(Args args, std::size_t i) {
  const auto* value = i < args.size() ? std::get_if<std::string>(&args[i]) : nullptr;
  return value ? *value : std::string();
}

using T = ScriptType;

std::vector<WebScriptMethod> makeTable() {
  using PC = PluginController;
  return {
      {"setWidgetIdentifier:",
       "setWidgetIdentifier",
       {T::String},
       T::None,
       [](PC& c, Args a) -> ScriptValue {
         c.setWidgetIdentifier(stringArg(a, 0));
         return {};
       }},
      {"setMaximumSensorNameWidth:",
       "setMaximumSensorNameWidth",
       {T::Float},
       T::None,
       [](PC& c, Args a) -> ScriptValue {
         c.setMaximumSensorNameWidth(floatArg(a, 0));
         return {};
       }},
      {"localizedStringForElementWithName:",
       "localizedStringForElementWithName",
       {T::String},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return c.localizedStringForElementWithName(stringArg(a, 0));
       }},
      {"numberOfAvailableSensors",
       "numberOfAvailableSensors",
       {},
       T::Int32,
       [](PC& c, Args) -> ScriptValue { return c.numberOfAvailableSensors(); }},
      {"localizedSensorNameAtDisplayIndex:",
       "localizedSensorNameAtDisplayIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return c.localizedSensorNameAtDisplayIndex(intArg(a, 0));
       }},
      {"localizedDifferentiatingSensorNameAtIndex:",
       "localizedDifferentiatingSensorNameAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return c.localizedDifferentiatingSensorNameAtIndex(intArg(a, 0));
       }},
      {"localizedReadingAtDisplayIndex:",
       "localizedReadingAtDisplayIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue { return c.localizedReadingAtDisplayIndex(intArg(a, 0)); }},
      {"localizedStatusMessage",
       "localizedStatusMessage",
       {},
       T::String,
       [](PC& c, Args) -> ScriptValue { return c.localizedStatusMessage(); }},
      {"localizedVersionMessage",
       "localizedVersionMessage",
       {},
       T::String,
       [](PC& c, Args) -> ScriptValue { return c.localizedVersionMessage(); }},
      {"relativePathForTypeIconAtDisplayIndex:",
       "relativePathForTypeIconAtDisplayIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return c.relativePathForTypeIconAtDisplayIndex(intArg(a, 0));
       }},
      {"setPreferredSensorIndex:forDisplayIndex:",
       "setPreferredSensorIndexForDisplayIndex",
       {T::Int32, T::Int32},
       T::None,
       [](PC& c, Args a) -> ScriptValue {
         c.setPreferredSensorIndex(intArg(a, 0), intArg(a, 1));
         return {};
       }},
      {"setTemperatureUnitIndex:",
       "setTemperatureUnitIndex",
       {T::Int32},
       T::None,
       [](PC& c, Args a) -> ScriptValue {
         c.setTemperatureUnitIndex(intArg(a, 0));
         return {};
       }},
      {"preferredSensorIndexAtDisplayIndex:",
       "preferredSensorIndexAtDisplayIndex",
       {T::Int32},
       T::Int32,
       [](PC& c, Args a) -> ScriptValue {
         return c.preferredSensorIndexAtDisplayIndex(intArg(a, 0));
       }},
      {"preferredTemperatureUnitIndex",
       "preferredTemperatureUnitIndex",
       {},
       T::Int32,
       [](PC& c, Args) -> ScriptValue { return c.preferredTemperatureUnitIndex(); }},
      {"bundleIdentifierForMasterApplication",
       "bundleIdentifierForMasterApplication",
       {},
       T::String,
       [](PC& c, Args) -> ScriptValue { return c.bundleIdentifierForMasterApplication(); }},
      {"localizedURLForMasterApplication",
       "localizedURLForMasterApplication",
       {},
       T::String,
       [](PC& c, Args) -> ScriptValue { return c.localizedURLForMasterApplication(); }},
      {"logDebugString:",
       "logDebugString",
       {T::String},
       T::None,
       [](PC& c, Args a) -> ScriptValue {
         c.logDebugString(stringArg(a, 0));
         return {};
       }},
  };
}

}  // namespace

const std::vector<WebScriptMethod>& webScriptMethods() {
  static const std::vector<WebScriptMethod> table = makeTable();
  return table;
}

const WebScriptMethod* scriptMethodNamed(const std::vector<WebScriptMethod>& table,
                                         std::string_view scriptName) {
  for (const WebScriptMethod& method : table) {
    if (scriptName == method.scriptName) return &method;
  }
  return nullptr;
}

const WebScriptMethod* webScriptMethodNamed(std::string_view scriptName) {
  return scriptMethodNamed(webScriptMethods(), scriptName);
}

ScriptType scriptTypeOf(const ScriptValue& value) {
  switch (value.index()) {
    case 1:
      return ScriptType::Int32;
    case 2:
      return ScriptType::Float;
    case 3:
      return ScriptType::String;
    default:
      return ScriptType::None;
  }
}

std::optional<ScriptValue> callWebScriptMethod(PluginController& controller,
                                               const WebScriptMethod& method,
                                               const std::vector<ScriptValue>& arguments) {
  if (arguments.size() != method.arguments.size()) return std::nullopt;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (scriptTypeOf(arguments[i]) != method.arguments[i]) return std::nullopt;
  }
  return method.invoke(controller, arguments);
}

}  // namespace zor

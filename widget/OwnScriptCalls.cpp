#include "widget/OwnScriptCalls.h"

#include <string>

#include "widget/OwnSensorOperations.h"

namespace zor {
namespace {

using Args = const std::vector<ScriptValue>&;
using Ops = OwnSensorOperations;
using T = ScriptType;

// As in the seventeen's table: a missing or mistyped argument reads as 0 or "".
std::int32_t intArg(Args args, std::size_t i) {
  const auto* value = i < args.size() ? std::get_if<std::int32_t>(&args[i]) : nullptr;
  return value ? *value : 0;
}
std::string stringArg(Args args, std::size_t i) {
  const auto* value = i < args.size() ? std::get_if<std::string>(&args[i]) : nullptr;
  return value ? *value : std::string();
}

std::vector<WebScriptMethod> makeTable() {
  using PC = PluginController;
  return {
      {"shownSensorNameAtIndex:",
       "shownSensorNameAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue { return Ops::shownSensorNameAtIndex(c, intArg(a, 0)); }},
      {"shownSensorNameAtDisplayIndex:",
       "shownSensorNameAtDisplayIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return Ops::shownSensorNameAtDisplayIndex(c, intArg(a, 0));
       }},
      {"ownSensorNameAtIndex:",
       "ownSensorNameAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue { return Ops::ownSensorNameAtIndex(c, intArg(a, 0)); }},
      {"setOwnSensorName:atIndex:",
       "setOwnSensorNameAtIndex",
       {T::Int32, T::String},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return Ops::setOwnSensorNameAtIndex(c, intArg(a, 0), stringArg(a, 1));
       }},
      {"sensorLimitAtIndex:",
       "sensorLimitAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue { return Ops::sensorLimitAtIndex(c, intArg(a, 0)); }},
      {"criticalSensorLimitAtIndex:",
       "criticalSensorLimitAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return Ops::criticalSensorLimitAtIndex(c, intArg(a, 0));
       }},
      {"ownSensorLimitAtIndex:",
       "ownSensorLimitAtIndex",
       {T::Int32},
       T::String,
       [](PC& c, Args a) -> ScriptValue { return Ops::ownSensorLimitAtIndex(c, intArg(a, 0)); }},
      {"setOwnSensorLimit:atIndex:",
       "setOwnSensorLimitAtIndex",
       {T::Int32, T::String},
       T::String,
       [](PC& c, Args a) -> ScriptValue {
         return Ops::setOwnSensorLimitAtIndex(c, intArg(a, 0), stringArg(a, 1));
       }},
  };
}

}  // namespace

const std::vector<WebScriptMethod>& ownScriptMethods() {
  static const std::vector<WebScriptMethod> table = makeTable();
  return table;
}

const WebScriptMethod* ownScriptMethodNamed(std::string_view scriptName) {
  return scriptMethodNamed(ownScriptMethods(), scriptName);
}

}  // namespace zor

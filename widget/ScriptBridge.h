#pragma once
// The seventeen operations of PluginController that the widget's script may
// call, as data: selector, script name, argument and result types, and a
// call that unpacks script values and invokes the operation. The widget host
// converts script numbers and strings into ScriptValues of these types and
// calls through this table; the controller's name and exclusion callbacks
// read it too.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "widget/WindowScriptObject.h"

namespace zor {

class PluginController;

using ScriptValue = std::variant<std::monostate, std::int32_t, float, std::string>;
enum class ScriptType { None, Int32, Float, String };

struct WebScriptMethod {
  const char* selector;
  const char* scriptName;
  std::vector<ScriptType> arguments;
  ScriptType result;
  // Expects arguments of the listed types (see callWebScriptMethod to check them first);
  // a missing or mistyped argument reads as 0, 0.0 or "".
  std::function<ScriptValue(PluginController&, const std::vector<ScriptValue>&)> invoke;
};

// The seventeen methods, in table order.
const std::vector<WebScriptMethod>& webScriptMethods();
// The method with that script name, or null.
const WebScriptMethod* webScriptMethodNamed(std::string_view scriptName);
// The method of `table` with that script name, or null (the lookup of every call table).
const WebScriptMethod* scriptMethodNamed(const std::vector<WebScriptMethod>& table,
                                         std::string_view scriptName);
// The type a script value holds.
ScriptType scriptTypeOf(const ScriptValue& value);
// Invokes `method` when `arguments` match its signature in count and types;
// nullopt (and nothing called) otherwise.
std::optional<ScriptValue> callWebScriptMethod(PluginController& controller,
                                               const WebScriptMethod& method,
                                               const std::vector<ScriptValue>& arguments);

}  // namespace zor

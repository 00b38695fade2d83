#pragma once
// Conversion between the JSON values of bridge requests and answers and the
// script bridge's values, as the script bridge converts script values: numbers
// to the signed 32-bit integers and 32-bit floats of a signature, strings to
// strings, results back to JSON. Used by the bridge dispatcher.

#include <string>

#include <nlohmann/json.hpp>

#include "widget/ScriptBridge.h"

namespace zor::host {

class ScriptValueJson {
 public:
  // Converts `value` to the type `type`. False, with `error` saying why, when
  // the JSON value does not fit: a string where a number is wanted, a number
  // with a fraction or outside the signed 32-bit range for an integer, a
  // number beyond the float range for a float, anything but a string for a string.
  static bool fromJson(const nlohmann::json& value, ScriptType type, ScriptValue* out,
                       std::string* error);

  // null for no result, a number or a string otherwise.
  static nlohmann::json toJson(const ScriptValue& value);
};

}  // namespace zor::host

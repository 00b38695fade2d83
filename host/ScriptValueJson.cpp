#include "host/ScriptValueJson.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zor::host {

bool ScriptValueJson::fromJson(const nlohmann::json& value, ScriptType type, ScriptValue* out,
                               std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  switch (type) {
    case ScriptType::String:
      if (!value.is_string()) return fail("must be a string");
      *out = value.get<std::string>();
      return true;
    case ScriptType::Int32: {
      // Integral numbers only: wrapping 4294967295 round to -1 would turn a
      // slip of the script into "no sensor".
      if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
          auto v = value.get<uint64_t>();
          if (v > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
            return fail("must be a signed 32-bit integer");
          }
          *out = static_cast<int32_t>(v);
          return true;
        }
        auto v = value.get<int64_t>();
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
          return fail("must be a signed 32-bit integer");
        }
        *out = static_cast<int32_t>(v);
        return true;
      }
      if (value.is_number_float()) {
        double v = value.get<double>();
        if (!std::isfinite(v) || std::trunc(v) != v || v < -2147483648.0 || v > 2147483647.0) {
          return fail("must be a signed 32-bit integer");
        }
        *out = static_cast<int32_t>(v);
        return true;
      }
      return fail("must be a number");
    }
    case ScriptType::Float: {
      if (!value.is_number()) return fail("must be a number");
      double v = value.get<double>();
      // Converting a double beyond the float range is undefined; refuse it.
      if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(FLT_MAX)) {
        return fail("must be a 32-bit float");
      }
      *out = static_cast<float>(v);
      return true;
    }
    case ScriptType::None:
      break;
  }
  return fail("has no script type");
}

nlohmann::json ScriptValueJson::toJson(const ScriptValue& value) {
  if (const auto* i = std::get_if<int32_t>(&value)) return *i;
  if (const auto* f = std::get_if<float>(&value)) {
    return std::isfinite(*f) ? nlohmann::json(static_cast<double>(*f)) : nlohmann::json();
  }
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return nullptr;
}

}  // namespace zor::host

#include "host/ScriptValueJson.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace zor::host {
namespace {

using nlohmann::json;

// Whole numbers must fit 32 bits exactly (4294967295 must not wrap to -1),
// floats must be finite as floats, strings must be strings.
TEST(ScriptValueJsonTest, ArgumentsConvertAsTheSignatureSays) {
  using Int32 = int32_t;
  const std::tuple<const char*, ScriptType, std::optional<ScriptValue>> cases[] = {
      {"2147483647", ScriptType::Int32, Int32{2147483647}},
      {"-2147483648", ScriptType::Int32, Int32{-2147483647 - 1}},
      {"2.0", ScriptType::Int32, Int32{2}},
      {"1.5", ScriptType::Float, 1.5f},
      {"-3", ScriptType::Float, -3.0f},
      {"\"\\u00e4\"", ScriptType::String, std::string("\xc3\xa4")},
      {"2147483648", ScriptType::Int32, {}},
      {"-2147483649", ScriptType::Int32, {}},
      {"4294967295", ScriptType::Int32, {}},
      {"2.5", ScriptType::Int32, {}},
      {"1e10", ScriptType::Int32, {}},
      {"\"5\"", ScriptType::Int32, {}},
      {"1e39", ScriptType::Float, {}},
      {"\"1.5\"", ScriptType::Float, {}},
      {"1", ScriptType::String, {}},
      {"1", ScriptType::None, {}},
  };
  for (const auto& [text, type, expected] : cases) {
    ScriptValue value;
    std::string error;
    const bool converted = ScriptValueJson::fromJson(json::parse(text), type, &value, &error);
    EXPECT_EQ(converted ? std::optional(value) : std::nullopt, expected) << text;
    EXPECT_EQ(error.empty(), converted) << text;
  }
}

// No script call answers with a float today; one that is not finite would not be JSON.
TEST(ScriptValueJsonTest, FloatResultsAreNumbersOrNull) {
  EXPECT_EQ(ScriptValueJson::toJson(2.5f), json(2.5));
  EXPECT_TRUE(ScriptValueJson::toJson(std::numeric_limits<float>::infinity()).is_null());
}

}  // namespace
}  // namespace zor::host

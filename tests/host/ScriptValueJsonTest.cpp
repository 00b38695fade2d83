#include <gtest/gtest.h>

#include "host/ScriptValueJson.h"

namespace zor::host {
namespace {

using nlohmann::json;

struct ConversionCase {
  const char* jsonText;
  ScriptType type;
  bool accepted;
  ScriptValue expected;
};

class FromJsonTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(FromJsonTest, ConvertsAsTheSignatureSays) {
  const ConversionCase& c = GetParam();
  ScriptValue value;
  std::string error;
  bool accepted = ScriptValueJson::fromJson(json::parse(c.jsonText), c.type, &value, &error);
  EXPECT_EQ(accepted, c.accepted) << c.jsonText;
  if (c.accepted) {
    EXPECT_EQ(value, c.expected) << c.jsonText;
  } else {
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, FromJsonTest,
    ::testing::Values(
        ConversionCase{"5", ScriptType::Int32, true, int32_t{5}},
        ConversionCase{"-1", ScriptType::Int32, true, int32_t{-1}},
        ConversionCase{"2147483647", ScriptType::Int32, true, int32_t{2147483647}},
        ConversionCase{"-2147483648", ScriptType::Int32, true, int32_t{-2147483647 - 1}},
        ConversionCase{"2147483648", ScriptType::Int32, false, {}},
        ConversionCase{"-2147483649", ScriptType::Int32, false, {}},
        ConversionCase{"4294967295", ScriptType::Int32, false, {}},
        ConversionCase{"18446744073709551615", ScriptType::Int32, false, {}},
        ConversionCase{"2.0", ScriptType::Int32, true, int32_t{2}},
        ConversionCase{"-0.0", ScriptType::Int32, true, int32_t{0}},
        ConversionCase{"2.5", ScriptType::Int32, false, {}},
        ConversionCase{"1e10", ScriptType::Int32, false, {}},
        ConversionCase{"\"5\"", ScriptType::Int32, false, {}},
        ConversionCase{"null", ScriptType::Int32, false, {}},
        ConversionCase{"true", ScriptType::Int32, false, {}},
        ConversionCase{"[1]", ScriptType::Int32, false, {}},
        ConversionCase{"1.5", ScriptType::Float, true, 1.5f},
        ConversionCase{"200", ScriptType::Float, true, 200.0f},
        ConversionCase{"-3", ScriptType::Float, true, -3.0f},
        ConversionCase{"1e39", ScriptType::Float, false, {}},
        ConversionCase{"-1e300", ScriptType::Float, false, {}},
        ConversionCase{"\"1.5\"", ScriptType::Float, false, {}},
        ConversionCase{"\"abc\"", ScriptType::String, true, std::string("abc")},
        ConversionCase{"\"\"", ScriptType::String, true, std::string()},
        ConversionCase{"\"\\u00e4\"", ScriptType::String, true, std::string("\xc3\xa4")},
        ConversionCase{"1", ScriptType::String, false, {}},
        ConversionCase{"null", ScriptType::String, false, {}},
        ConversionCase{"{}", ScriptType::String, false, {}},
        ConversionCase{"1", ScriptType::None, false, {}}));

TEST(ScriptValueJsonTest, ResultsBecomeJsonValues) {
  EXPECT_TRUE(ScriptValueJson::toJson(ScriptValue{}).is_null());
  EXPECT_EQ(ScriptValueJson::toJson(int32_t{-7}), json(-7));
  EXPECT_EQ(ScriptValueJson::toJson(2.5f), json(2.5));
  EXPECT_EQ(ScriptValueJson::toJson(std::string("  23.5C")), json("  23.5C"));
}

}  // namespace
}  // namespace zor::host

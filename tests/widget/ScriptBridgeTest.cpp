#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/SystemLog.h"
#include "widget/ControllerFixture.h"
#include "widget/ScriptBridge.h"

namespace zor {
namespace {

using testing::ControllerFixture;

TEST(ScriptBridgeTest, SeventeenNamesInTableOrder) {
  const std::pair<const char*, const char*> expected[] = {
      {"setWidgetIdentifier:", "setWidgetIdentifier"},
      {"setMaximumSensorNameWidth:", "setMaximumSensorNameWidth"},
      {"localizedStringForElementWithName:", "localizedStringForElementWithName"},
      {"numberOfAvailableSensors", "numberOfAvailableSensors"},
      {"localizedSensorNameAtDisplayIndex:", "localizedSensorNameAtDisplayIndex"},
      {"localizedDifferentiatingSensorNameAtIndex:", "localizedDifferentiatingSensorNameAtIndex"},
      {"localizedReadingAtDisplayIndex:", "localizedReadingAtDisplayIndex"},
      {"localizedStatusMessage", "localizedStatusMessage"},
      {"localizedVersionMessage", "localizedVersionMessage"},
      {"relativePathForTypeIconAtDisplayIndex:", "relativePathForTypeIconAtDisplayIndex"},
      {"setPreferredSensorIndex:forDisplayIndex:", "setPreferredSensorIndexForDisplayIndex"},
      {"setTemperatureUnitIndex:", "setTemperatureUnitIndex"},
      {"preferredSensorIndexAtDisplayIndex:", "preferredSensorIndexAtDisplayIndex"},
      {"preferredTemperatureUnitIndex", "preferredTemperatureUnitIndex"},
      {"bundleIdentifierForMasterApplication", "bundleIdentifierForMasterApplication"},
      {"localizedURLForMasterApplication", "localizedURLForMasterApplication"},
      {"logDebugString:", "logDebugString"},
  };
  const auto& methods = webScriptMethods();
  ASSERT_EQ(methods.size(), std::size(expected));
  for (std::size_t i = 0; i < methods.size(); ++i) {
    EXPECT_STREQ(methods[i].selector, expected[i].first);
    EXPECT_STREQ(methods[i].scriptName, expected[i].second);
    EXPECT_EQ(webScriptMethodNamed(expected[i].second), &methods[i]);
    EXPECT_FALSE(PluginController::isSelectorExcludedFromWebScript(expected[i].first));
    // Argument count equals the selector's colon count.
    EXPECT_EQ(methods[i].arguments.size(),
              static_cast<std::size_t>(std::count(
                  expected[i].first, expected[i].first + std::strlen(expected[i].first), ':')));
  }
  EXPECT_EQ(webScriptMethodNamed("init"), nullptr);
  EXPECT_EQ(webScriptMethodNamed("sensorIndexForSensorID"), nullptr);
}

TEST(ScriptBridgeTest, SignaturesUseTheScriptTypes) {
  EXPECT_EQ(webScriptMethodNamed("setMaximumSensorNameWidth")->arguments,
            std::vector<ScriptType>{ScriptType::Float});
  EXPECT_EQ(webScriptMethodNamed("setPreferredSensorIndexForDisplayIndex")->arguments,
            (std::vector<ScriptType>{ScriptType::Int32, ScriptType::Int32}));
  EXPECT_EQ(webScriptMethodNamed("numberOfAvailableSensors")->result, ScriptType::Int32);
  EXPECT_EQ(webScriptMethodNamed("logDebugString")->result, ScriptType::None);
  EXPECT_EQ(webScriptMethodNamed("localizedReadingAtDisplayIndex")->result, ScriptType::String);
}

using ScriptBridgeCallTest = ControllerFixture;

TEST_F(ScriptBridgeCallTest, CallsReachTheController) {
  add("a", "A", 1, 20);
  add("b", "B", 1, 30);
  auto controller = makeController();
  auto call = [&](const char* name, std::vector<ScriptValue> args) {
    return callWebScriptMethod(*controller, *webScriptMethodNamed(name), args);
  };
  EXPECT_EQ(call("numberOfAvailableSensors", {}), ScriptValue(std::int32_t{2}));
  EXPECT_EQ(call("setWidgetIdentifier", {std::string("W")}), ScriptValue());
  EXPECT_EQ(call("setPreferredSensorIndexForDisplayIndex", {std::int32_t{1}, std::int32_t{0}}),
            ScriptValue());
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), 1)
      << "sensor index first, display index second";
  EXPECT_EQ(call("setMaximumSensorNameWidth", {2.5f}), ScriptValue());
  EXPECT_EQ(controller->maxLabelWidth(), 2.5f);
  EXPECT_EQ(call("localizedReadingAtDisplayIndex", {std::int32_t{0}}),
            ScriptValue(std::string("   30.0C")));
}

TEST_F(ScriptBridgeCallTest, WrongCountOrTypeCallsNothing) {
  add("a", "A", 1);
  auto controller = makeController();
  const WebScriptMethod& setUnit = *webScriptMethodNamed("setTemperatureUnitIndex");
  EXPECT_FALSE(callWebScriptMethod(*controller, setUnit, {}).has_value());
  EXPECT_FALSE(
      callWebScriptMethod(*controller, setUnit, {std::int32_t{1}, std::int32_t{1}}).has_value());
  EXPECT_FALSE(callWebScriptMethod(*controller, setUnit, {1.0f}).has_value());
  EXPECT_FALSE(callWebScriptMethod(*controller, setUnit, {std::string("1")}).has_value());
  EXPECT_FALSE(callWebScriptMethod(*controller, setUnit, {ScriptValue()}).has_value());
  EXPECT_EQ(controller->preferredTemperatureUnitIndex(), 0);
  EXPECT_TRUE(callWebScriptMethod(*controller, setUnit, {std::int32_t{1}}).has_value());
  EXPECT_EQ(controller->preferredTemperatureUnitIndex(), 1);
}

TEST_F(ScriptBridgeCallTest, EveryMethodAnswersWithItsResultTypeOnAnEmptyMachine) {
  auto controller = makeController();
  ScopedLogCapture log;
  for (const WebScriptMethod& method : webScriptMethods()) {
    SCOPED_TRACE(method.scriptName);
    std::vector<ScriptValue> args;
    for (ScriptType type : method.arguments) {
      if (type == ScriptType::Int32) args.emplace_back(std::int32_t{-1});
      if (type == ScriptType::Float) args.emplace_back(-1.0f);
      if (type == ScriptType::String) args.emplace_back(std::string());
    }
    auto result = callWebScriptMethod(*controller, method, args);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(scriptTypeOf(*result), method.result);
    // Even a direct call with nothing passed must not crash.
    EXPECT_EQ(scriptTypeOf(method.invoke(*controller, {})), method.result);
  }
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Debug message('')\n", "Debug message('')\n"}));
}

}  // namespace
}  // namespace zor

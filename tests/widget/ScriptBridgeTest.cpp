#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/SystemLog.h"
#include "widget/ControllerFixture.h"
#include "widget/ScriptBridge.h"

namespace zor {
namespace {

using testing::ControllerFixture;

TEST(ScriptBridgeTest, SeventeenNamesInTableOrder) {
  const std::pair<std::string, const char*> expected[] = {
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
    const auto& [selector, scriptName] = expected[i];
    EXPECT_EQ(methods[i].selector, selector);
    EXPECT_STREQ(methods[i].scriptName, scriptName);
    EXPECT_EQ(webScriptMethodNamed(scriptName), &methods[i]);
    EXPECT_EQ(PluginController::webScriptNameForSelector(selector), scriptName);
    // One argument per colon of the selector.
    EXPECT_EQ(methods[i].arguments.size(),
              static_cast<std::size_t>(std::ranges::count(selector, ':')));
  }
  for (const char* hidden : {"init", "sensorIndexForSensorID:", "logDebugString"}) {
    EXPECT_TRUE(PluginController::isSelectorExcludedFromWebScript(hidden)) << hidden;
  }
  EXPECT_EQ(webScriptMethodNamed("sensorIndexForSensorID"), nullptr);
  EXPECT_TRUE(PluginController::isKeyExcludedFromWebScript("sensorArray"));
}

using ScriptBridgeCallTest = ControllerFixture;

// Arguments of the signature's types (all -1 or empty) on a machine without
// sensors; one argument too many, or one of the wrong type, calls nothing.
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
    std::vector<ScriptValue> wrong = args;
    wrong.emplace_back();
    EXPECT_FALSE(callWebScriptMethod(*controller, method, wrong).has_value());
    if (args.empty()) continue;
    wrong = args;
    wrong.back() = scriptTypeOf(args.back()) == ScriptType::String ? ScriptValue(1.0f)
                                                                   : ScriptValue(std::string("1"));
    EXPECT_FALSE(callWebScriptMethod(*controller, method, wrong).has_value());
  }
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Debug message('')\n", "Debug message('')\n"}));
}

}  // namespace
}  // namespace zor

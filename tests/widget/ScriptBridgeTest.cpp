#include "widget/ScriptBridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "widget/PluginController.h"

namespace zor {
namespace {

// The seventeen operations the widget's script calls, by selector and script
// name, in table order; one argument per colon of the selector.
TEST(ScriptBridgeTest, SeventeenNamesInTableOrder) {
  std::vector<std::string> table;
  for (const WebScriptMethod& method : webScriptMethods()) {
    EXPECT_EQ(method.arguments.size(),
              static_cast<std::size_t>(std::ranges::count(std::string_view(method.selector), ':')))
        << method.selector;
    EXPECT_EQ(webScriptMethodNamed(method.scriptName), &method);
    EXPECT_EQ(PluginController::webScriptNameForSelector(method.selector), method.scriptName);
    table.push_back(std::string(method.selector) + " " + method.scriptName);
  }
  EXPECT_EQ(table, (std::vector<std::string>{
                       "setWidgetIdentifier: setWidgetIdentifier",
                       "setMaximumSensorNameWidth: setMaximumSensorNameWidth",
                       "localizedStringForElementWithName: localizedStringForElementWithName",
                       "numberOfAvailableSensors numberOfAvailableSensors",
                       "localizedSensorNameAtDisplayIndex: localizedSensorNameAtDisplayIndex",
                       "localizedDifferentiatingSensorNameAtIndex: "
                       "localizedDifferentiatingSensorNameAtIndex",
                       "localizedReadingAtDisplayIndex: localizedReadingAtDisplayIndex",
                       "localizedStatusMessage localizedStatusMessage",
                       "localizedVersionMessage localizedVersionMessage",
                       "relativePathForTypeIconAtDisplayIndex: "
                       "relativePathForTypeIconAtDisplayIndex",
                       "setPreferredSensorIndex:forDisplayIndex: "
                       "setPreferredSensorIndexForDisplayIndex",
                       "setTemperatureUnitIndex: setTemperatureUnitIndex",
                       "preferredSensorIndexAtDisplayIndex: preferredSensorIndexAtDisplayIndex",
                       "preferredTemperatureUnitIndex preferredTemperatureUnitIndex",
                       "bundleIdentifierForMasterApplication bundleIdentifierForMasterApplication",
                       "localizedURLForMasterApplication localizedURLForMasterApplication",
                       "logDebugString: logDebugString",
                   }));
  EXPECT_EQ(webScriptMethodNamed("sensorIndexForSensorID"), nullptr);
  // Selectors outside the table and every key stay hidden from the script.
  EXPECT_TRUE(PluginController::isSelectorExcludedFromWebScript("sensorIndexForSensorID:") &&
              PluginController::isKeyExcludedFromWebScript("PluginController"));
}

}  // namespace
}  // namespace zor

#include "widget/ScriptBridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "widget/PluginController.h"

namespace zor {
namespace {

// The seventeen operations the widget's script calls: each found by its script
// name, which is its selector without colons; one argument per colon. The
// names themselves are checked where the widget's script calls them.
TEST(ScriptBridgeTest, SeventeenOperationsFoundByTheirScriptNames) {
  std::set<std::string> names;
  for (const WebScriptMethod& method : webScriptMethods()) {
    EXPECT_EQ(method.arguments.size(),
              static_cast<std::size_t>(std::ranges::count(std::string_view(method.selector), ':')))
        << method.selector;
    EXPECT_EQ(webScriptMethodNamed(method.scriptName), &method);
    EXPECT_EQ(PluginController::webScriptNameForSelector(method.selector), method.scriptName);
    names.insert(method.scriptName);
  }
  // Seventeen operations under as many distinct script names.
  EXPECT_EQ(webScriptMethods().size(), 17u);
  EXPECT_EQ(names.size(), 17u);
  EXPECT_EQ(webScriptMethodNamed("sensorIndexForSensorID"), nullptr);
}

}  // namespace
}  // namespace zor

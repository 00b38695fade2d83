// Every script name over every transport: good arguments reach the right
// operation with the right values; wrong names, counts and types are
// answered with errors and change nothing.

#include <functional>
#include <set>

#include "platform/SystemLog.h"
#include "tests/host/HostTestSupport.h"
#include "widget/PluginController.h"
#include "widget/ScriptBridge.h"

namespace zor::host::testing {
namespace {

using nlohmann::json;
using PC = PluginController;

class BridgeCallsTest : public ::testing::TestWithParam<Transport> {
 protected:
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  BridgeClient client_{dispatcher_, GetParam()};

  // What an instance shows of its choices, asked through the bridge.
  json choices(const std::string& instance) {
    return json::array({client_.call(instance, "preferredSensorIndexAtDisplayIndex", {0})["result"],
                        client_.call(instance, "preferredSensorIndexAtDisplayIndex", {1})["result"],
                        client_.call(instance, "preferredTemperatureUnitIndex")["result"],
                        client_.call(instance, "localizedReadingAtDisplayIndex", {0})["result"]});
  }
};

// Each call in turn, beside the same operation made directly on a controller
// of the test's own: the answers agree and the choices take effect.
TEST_P(BridgeCallsTest, EveryScriptNameReachesItsOperation) {
  auto reference = std::make_shared<PluginController>();
  ASSERT_TRUE(reference->init());
  ASSERT_GE(reference->numberOfAvailableSensors(), 3) << "the demo machine has sensors to choose";
  ScopedLogCapture log;
  const std::tuple<const char*, const char*, std::function<json(PC&)>> calls[] = {
      {"numberOfAvailableSensors", "[]", [](PC& c) { return c.numberOfAvailableSensors(); }},
      {"setWidgetIdentifier", "[\"W1\"]",
       [](PC& c) { return c.setWidgetIdentifier("W1"), json(); }},
      {"localizedStringForElementWithName", "[\"Done\"]",
       [](PC& c) { return c.localizedStringForElementWithName("Done"); }},
      {"setMaximumSensorNameWidth", "[24.5]",
       [](PC& c) { return c.setMaximumSensorNameWidth(24.5f), json(); }},
      {"localizedSensorNameAtDisplayIndex", "[1]",
       [](PC& c) { return c.localizedSensorNameAtDisplayIndex(1); }},
      {"localizedDifferentiatingSensorNameAtIndex", "[2]",
       [](PC& c) { return c.localizedDifferentiatingSensorNameAtIndex(2); }},
      {"localizedStatusMessage", "[]", [](PC& c) { return c.localizedStatusMessage(); }},
      {"localizedVersionMessage", "[]", [](PC& c) { return c.localizedVersionMessage(); }},
      {"relativePathForTypeIconAtDisplayIndex", "[1]",
       [](PC& c) { return c.relativePathForTypeIconAtDisplayIndex(1); }},
      {"setPreferredSensorIndexForDisplayIndex", "[2, 0]",
       [](PC& c) { return c.setPreferredSensorIndex(2, 0), json(); }},
      {"preferredSensorIndexAtDisplayIndex", "[0]",
       [](PC& c) { return c.preferredSensorIndexAtDisplayIndex(0); }},
      {"setTemperatureUnitIndex", "[1]",
       [](PC& c) { return c.setTemperatureUnitIndex(1), json(); }},
      {"preferredTemperatureUnitIndex", "[]",
       [](PC& c) { return c.preferredTemperatureUnitIndex(); }},
      {"localizedReadingAtDisplayIndex", "[0]",
       [](PC& c) { return c.localizedReadingAtDisplayIndex(0); }},
      {"bundleIdentifierForMasterApplication", "[]",
       [](PC& c) { return c.bundleIdentifierForMasterApplication(); }},
      {"localizedURLForMasterApplication", "[]",
       [](PC& c) { return c.localizedURLForMasterApplication(); }},
      {"logDebugString", "[\"bridge check\"]", [](PC&) { return json(); }},
  };
  std::set<std::string> covered;
  for (const auto& [name, args, expected] : calls) {
    SCOPED_TRACE(name);
    json answer = client_.call("W1", name, json::parse(args));
    ASSERT_FALSE(answer.contains("error")) << answer.dump();
    EXPECT_EQ(answer["result"], expected(*reference)) << answer.dump();
    // The first call made the instance's controller and said so.
    EXPECT_EQ(answer.value("newInstance", false), covered.empty());
    covered.insert(name);
  }
  for (const WebScriptMethod& method : webScriptMethods()) {
    EXPECT_TRUE(covered.count(method.scriptName)) << method.scriptName << " not exercised";
  }
  EXPECT_EQ(choices("W1"), json::array({2, reference->preferredSensorIndexAtDisplayIndex(1), 1,
                                        reference->localizedReadingAtDisplayIndex(0)}));
  EXPECT_TRUE(log.contains("bridge check"));
}

TEST_P(BridgeCallsTest, InstancesKeepSeparateChoices) {
  client_.call("A", "setWidgetIdentifier", {"A"});
  client_.call("B", "setWidgetIdentifier", {"B"});
  const json before = choices("B");
  client_.call("A", "setPreferredSensorIndexForDisplayIndex", {2, 0});
  EXPECT_EQ(choices("A")[0], 2);
  EXPECT_EQ(choices("B"), before);
  EXPECT_NE(before[0], 2);
}

// Wrong calls for every script name: one argument too many, one too few, and
// each argument of the wrong type or, for whole numbers, beyond 32 bits (4294967295
// would wrap to -1, "no sensor").
std::vector<std::pair<std::string, json>> wrongCallsFor(const WebScriptMethod& method) {
  json good = json::array();
  for (ScriptType type : method.arguments)
    good.push_back(type == ScriptType::String ? json("x") : json(0));
  std::vector<std::pair<std::string, json>> wrong{{"one too many", good}};
  wrong.back().second.push_back(1);
  if (!good.empty()) wrong.emplace_back("one too few", json(good.begin(), good.end() - 1));
  for (size_t i = 0; i < method.arguments.size(); ++i) {
    const ScriptType type = method.arguments[i];
    std::vector<json> values{type == ScriptType::String ? json(7) : json("7"), nullptr};
    if (type == ScriptType::Int32) values.push_back(4294967295u);
    for (const json& value : values) {
      wrong.emplace_back("argument " + std::to_string(i + 1) + " " + value.dump(), good);
      wrong.back().second[i] = value;
    }
  }
  return wrong;
}

TEST_P(BridgeCallsTest, WrongArgumentsAreRefusedAndChangeNothing) {
  client_.call("W", "setWidgetIdentifier", {"W"});
  client_.call("W", "setPreferredSensorIndexForDisplayIndex", {2, 1});
  const json shown = choices("W");
  for (const WebScriptMethod& method : webScriptMethods()) {
    for (const auto& [what, args] : wrongCallsFor(method)) {
      SCOPED_TRACE(std::string(method.scriptName) + ": " + what);
      json answer = client_.call("W", method.scriptName, args);
      EXPECT_TRUE(answer.contains("error") && !answer.contains("result")) << answer.dump();
      // A wrong call never makes a controller either.
      EXPECT_TRUE(client_.call("never-made", method.scriptName, args).contains("error"));
    }
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 1u);
  EXPECT_EQ(choices("W"), shown);
}

TEST_P(BridgeCallsTest, NamesOutsideTheTableAreRefused) {
  for (const char* name :
       {"init", "readPreferences", "sensorIndexForSensorID", "localizedSensorUnitAtIndex",
        "setPreferredSensorIndex:forDisplayIndex:", "numberofavailablesensors", "__proto__", ""}) {
    json answer = client_.call("A", name);
    EXPECT_NE(answer.value("error", "").find("no such call"), std::string::npos) << name;
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Transports, BridgeCallsTest,
                         ::testing::Values(Transport::Direct, Transport::Stdio, Transport::Http),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace zor::host::testing

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

struct GoodCall {
  const char* name;
  json args;
  // The same operation made directly on a controller of our own.
  std::function<json(PluginController&)> expected;
};

TEST_P(BridgeCallsTest, EveryScriptNameReachesItsOperation) {
  auto reference = std::make_shared<PluginController>();
  ASSERT_TRUE(reference->init());
  ASSERT_GE(reference->numberOfAvailableSensors(), 3) << "the demo machine has sensors to choose";
  ScopedLogCapture log;

  const std::vector<GoodCall> calls = {
      {"setWidgetIdentifier",
       {"W1"},
       [](PluginController& c) {
         c.setWidgetIdentifier("W1");
         return json();
       }},
      {"numberOfAvailableSensors", json::array(),
       [](PluginController& c) { return json(c.numberOfAvailableSensors()); }},
      {"localizedStringForElementWithName",
       {"Done"},
       [](PluginController& c) { return json(c.localizedStringForElementWithName("Done")); }},
      {"localizedSensorNameAtDisplayIndex",
       {1},
       [](PluginController& c) { return json(c.localizedSensorNameAtDisplayIndex(1)); }},
      {"setMaximumSensorNameWidth",
       {24.5},
       [](PluginController& c) {
         c.setMaximumSensorNameWidth(24.5f);
         return json();
       }},
      {"localizedSensorNameAtDisplayIndex",
       {1},
       [](PluginController& c) { return json(c.localizedSensorNameAtDisplayIndex(1)); }},
      {"localizedDifferentiatingSensorNameAtIndex",
       {2},
       [](PluginController& c) { return json(c.localizedDifferentiatingSensorNameAtIndex(2)); }},
      {"localizedReadingAtDisplayIndex",
       {0},
       [](PluginController& c) { return json(c.localizedReadingAtDisplayIndex(0)); }},
      {"localizedStatusMessage", json::array(),
       [](PluginController& c) { return json(c.localizedStatusMessage()); }},
      {"localizedVersionMessage", json::array(),
       [](PluginController& c) { return json(c.localizedVersionMessage()); }},
      {"relativePathForTypeIconAtDisplayIndex",
       {1},
       [](PluginController& c) { return json(c.relativePathForTypeIconAtDisplayIndex(1)); }},
      {"setPreferredSensorIndexForDisplayIndex",
       {2, 0},
       [](PluginController& c) {
         c.setPreferredSensorIndex(2, 0);
         return json();
       }},
      {"preferredSensorIndexAtDisplayIndex",
       {0},
       [](PluginController& c) { return json(c.preferredSensorIndexAtDisplayIndex(0)); }},
      {"setTemperatureUnitIndex",
       {1},
       [](PluginController& c) {
         c.setTemperatureUnitIndex(1);
         return json();
       }},
      {"preferredTemperatureUnitIndex", json::array(),
       [](PluginController& c) { return json(c.preferredTemperatureUnitIndex()); }},
      {"localizedReadingAtDisplayIndex",
       {0},
       [](PluginController& c) { return json(c.localizedReadingAtDisplayIndex(0)); }},
      {"bundleIdentifierForMasterApplication", json::array(),
       [](PluginController& c) { return json(c.bundleIdentifierForMasterApplication()); }},
      {"localizedURLForMasterApplication", json::array(),
       [](PluginController& c) { return json(c.localizedURLForMasterApplication()); }},
      {"logDebugString", {"bridge check"}, [](PluginController&) { return json(); }},
  };

  std::set<std::string> covered;
  for (const GoodCall& call : calls) {
    SCOPED_TRACE(call.name);
    json answer = client_.call("W1", call.name, call.args);
    ASSERT_FALSE(answer.contains("error")) << answer.dump();
    EXPECT_EQ(answer["result"], call.expected(*reference)) << answer.dump();
    covered.insert(call.name);
  }
  for (const WebScriptMethod& method : webScriptMethods()) {
    EXPECT_TRUE(covered.count(method.scriptName)) << method.scriptName << " not exercised";
  }
  // The chosen sensor and unit took effect, and the debug line was written.
  EXPECT_EQ(client_.call("W1", "preferredSensorIndexAtDisplayIndex", {0})["result"], 2);
  EXPECT_EQ(client_.call("W1", "preferredTemperatureUnitIndex")["result"], 1);
  EXPECT_TRUE(log.contains("bridge check"));
}

TEST_P(BridgeCallsTest, TheFirstCallMakesTheControllerAndSaysSo) {
  json first = client_.call("A", "numberOfAvailableSensors");
  EXPECT_EQ(first.value("newInstance", false), true);
  EXPECT_EQ(first["id"], 1);
  json second = client_.call("A", "numberOfAvailableSensors");
  EXPECT_FALSE(second.contains("newInstance"));
  EXPECT_EQ(second["result"], first["result"]);
  EXPECT_EQ(dispatcher_.instanceCount(), 1u);
}

TEST_P(BridgeCallsTest, InstancesKeepSeparateChoices) {
  client_.call("A", "setWidgetIdentifier", {"A"});
  client_.call("B", "setWidgetIdentifier", {"B"});
  json before = client_.call("B", "preferredSensorIndexAtDisplayIndex", {0})["result"];
  client_.call("A", "setPreferredSensorIndexForDisplayIndex", {2, 0});
  EXPECT_EQ(client_.call("A", "preferredSensorIndexAtDisplayIndex", {0})["result"], 2);
  EXPECT_EQ(client_.call("B", "preferredSensorIndexAtDisplayIndex", {0})["result"], before);
  EXPECT_NE(before, 2);
}

// Wrong calls for every script name: one argument too many, one too few, and
// each argument of the wrong type or out of range.
std::vector<std::pair<std::string, json>> wrongCallsFor(const WebScriptMethod& method) {
  json good = json::array();
  for (ScriptType type : method.arguments)
    good.push_back(type == ScriptType::String ? json("x") : json(0));
  std::vector<std::pair<std::string, json>> wrong;
  json extra = good;
  extra.push_back(1);
  wrong.emplace_back("one argument too many", extra);
  if (!good.empty()) {
    json fewer = good;
    fewer.erase(fewer.size() - 1);
    wrong.emplace_back("one argument too few", fewer);
  }
  for (size_t i = 0; i < method.arguments.size(); ++i) {
    ScriptType type = method.arguments[i];
    json mistyped = good;
    mistyped[i] = type == ScriptType::String ? json(7) : json("7");
    wrong.emplace_back("argument " + std::to_string(i + 1) + " of the wrong type", mistyped);
    json nulled = good;
    nulled[i] = nullptr;
    wrong.emplace_back("argument " + std::to_string(i + 1) + " null", nulled);
    if (type == ScriptType::Int32) {
      json wrapped = good;
      wrapped[i] = 4294967295u;  // would wrap to -1
      wrong.emplace_back("argument " + std::to_string(i + 1) + " beyond 32 bits", wrapped);
      json fraction = good;
      fraction[i] = 0.5;
      wrong.emplace_back("argument " + std::to_string(i + 1) + " with a fraction", fraction);
    }
    if (type == ScriptType::Float) {
      json huge = good;
      huge[i] = 1e300;
      wrong.emplace_back("argument " + std::to_string(i + 1) + " beyond the float range", huge);
    }
  }
  return wrong;
}

TEST_P(BridgeCallsTest, WrongArgumentsAreRefusedAndChangeNothing) {
  client_.call("W", "setWidgetIdentifier", {"W"});
  client_.call("W", "setPreferredSensorIndexForDisplayIndex", {2, 1});
  const json shown = choices("W");
  const size_t instances = dispatcher_.instanceCount();

  for (const WebScriptMethod& method : webScriptMethods()) {
    for (const auto& [what, args] : wrongCallsFor(method)) {
      SCOPED_TRACE(std::string(method.scriptName) + ": " + what);
      json answer = client_.call("W", method.scriptName, args);
      EXPECT_TRUE(answer.contains("error")) << answer.dump();
      EXPECT_FALSE(answer.contains("result"));
      // A wrong call never makes a controller either.
      json fresh = client_.call("never-made", method.scriptName, args);
      EXPECT_TRUE(fresh.contains("error"));
    }
  }
  EXPECT_EQ(dispatcher_.instanceCount(), instances);
  EXPECT_FALSE(dispatcher_.hasInstance("never-made"));
  EXPECT_EQ(choices("W"), shown);
}

TEST_P(BridgeCallsTest, NamesOutsideTheTableAreRefused) {
  for (const char* name :
       {"init", "dealloc", "readPreferences", "writePreferences", "sensorIndexForSensorID",
        "localizedSensorUnitAtIndex", "defaultFormatTagForQuantityType",
        "setPreferredSensorIndex:forDisplayIndex:", "numberofavailablesensors", "constructor",
        "__proto__", ""}) {
    SCOPED_TRACE(name);
    json answer = client_.call("A", name);
    ASSERT_TRUE(answer.contains("error"));
    EXPECT_NE(answer["error"].get<std::string>().find("no such call"), std::string::npos);
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Transports, BridgeCallsTest,
                         ::testing::Values(Transport::Direct, Transport::Stdio, Transport::Http),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace zor::host::testing

// The bridge dispatcher: every script name, the widget's and our own, reaches
// its operation with the right values; wrong names, counts and types, and
// malformed requests, are answered with errors and change nothing; dropping,
// the instance cap and letting go of silent instances. The transports only
// carry the text (TransportTest).

#include <functional>
#include <set>

#include "platform/SystemLog.h"
#include "tests/host/HostTestSupport.h"
#include "widget/OwnScriptCalls.h"
#include "widget/OwnSensorOperations.h"
#include "widget/PluginController.h"
#include "widget/ScriptBridge.h"

namespace zor::host::testing {
namespace {

using PC = PluginController;
using Ops = OwnSensorOperations;

// A call by its script name and arguments, and the same operation made directly.
using Row = std::tuple<const char*, const char*, std::function<json(PC&)>>;
#define ROW(name, args, operation) Row(name, args, [](PC& c) { return json(operation); })

class BridgeTest : public ::testing::Test {
 protected:
  // What an instance shows of its choices: sensors at display 0 and 1, the unit, a reading.
  json choices(const std::string& instance) {
    return {call(dispatcher_, instance, "preferredSensorIndexAtDisplayIndex", {0})["result"],
            call(dispatcher_, instance, "preferredSensorIndexAtDisplayIndex", {1})["result"],
            call(dispatcher_, instance, "preferredTemperatureUnitIndex")["result"],
            call(dispatcher_, instance, "localizedReadingAtDisplayIndex", {0})["result"]};
  }
  bool answers(BridgeDispatcher& dispatcher, const std::string& instance) {
    return call(dispatcher, instance, "numberOfAvailableSensors").contains("result");
  }

  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
};

// Each call in turn, beside the same operation made directly on a controller
// of the test's own: the answers agree and the choices take effect.
TEST_F(BridgeTest, EveryScriptNameReachesItsOperation) {
  PC reference;
  ASSERT_TRUE(reference.init());
  const Row calls[] = {
      ROW("numberOfAvailableSensors", "[]", c.numberOfAvailableSensors()),
      ROW("setWidgetIdentifier", "[\"W1\"]", (c.setWidgetIdentifier("W1"), json())),
      ROW("localizedStringForElementWithName", "[\"Done\"]",
          c.localizedStringForElementWithName("Done")),
      ROW("setMaximumSensorNameWidth", "[24.5]", (c.setMaximumSensorNameWidth(24.5f), json())),
      ROW("localizedSensorNameAtDisplayIndex", "[1]", c.localizedSensorNameAtDisplayIndex(1)),
      ROW("localizedDifferentiatingSensorNameAtIndex", "[2]",
          c.localizedDifferentiatingSensorNameAtIndex(2)),
      ROW("localizedStatusMessage", "[]", c.localizedStatusMessage()),
      ROW("localizedVersionMessage", "[]", c.localizedVersionMessage()),
      ROW("relativePathForTypeIconAtDisplayIndex", "[1]",
          c.relativePathForTypeIconAtDisplayIndex(1)),
      ROW("setPreferredSensorIndexForDisplayIndex", "[2, 0]",
          (c.setPreferredSensorIndex(2, 0), json())),
      ROW("preferredSensorIndexAtDisplayIndex", "[0]", c.preferredSensorIndexAtDisplayIndex(0)),
      ROW("setTemperatureUnitIndex", "[1]", (c.setTemperatureUnitIndex(1), json())),
      ROW("preferredTemperatureUnitIndex", "[]", c.preferredTemperatureUnitIndex()),
      ROW("localizedReadingAtDisplayIndex", "[0]", c.localizedReadingAtDisplayIndex(0)),
      ROW("bundleIdentifierForMasterApplication", "[]", c.bundleIdentifierForMasterApplication()),
      ROW("localizedURLForMasterApplication", "[]", c.localizedURLForMasterApplication()),
      ROW("logDebugString", "[\"bridge check\"]", ((void)c, json())),
      ROW("setOwnSensorNameAtIndex", "[1, \"Left core\"]",
          Ops::setOwnSensorNameAtIndex(c, 1, "Left core")),
      ROW("setOwnSensorLimitAtIndex", "[1, \"60\"]", Ops::setOwnSensorLimitAtIndex(c, 1, "60")),
      ROW("shownSensorNameAtIndex", "[1]", Ops::shownSensorNameAtIndex(c, 1)),
      ROW("shownSensorNameAtDisplayIndex", "[1]", Ops::shownSensorNameAtDisplayIndex(c, 1)),
      ROW("ownSensorNameAtIndex", "[1]", Ops::ownSensorNameAtIndex(c, 1)),
      ROW("sensorLimitAtIndex", "[1]", Ops::sensorLimitAtIndex(c, 1)),
      ROW("criticalSensorLimitAtIndex", "[1]", Ops::criticalSensorLimitAtIndex(c, 1)),
      ROW("ownSensorLimitAtIndex", "[1]", Ops::ownSensorLimitAtIndex(c, 1)),
  };
  std::set<std::string> covered;
  for (const auto& [name, args, expected] : calls) {
    SCOPED_TRACE(name);
    json answer = call(dispatcher_, "W1", name, json::parse(args));
    ASSERT_FALSE(answer.contains("error")) << answer.dump();
    EXPECT_EQ(answer["result"], expected(reference)) << answer.dump();
    // The first call made the instance's controller and said so.
    EXPECT_EQ(answer.value("newInstance", false), covered.empty());
    covered.insert(name);
  }
  for (const auto* table : {&webScriptMethods(), &ownScriptMethods()}) {
    for (const WebScriptMethod& method : *table) EXPECT_TRUE(covered.count(method.scriptName));
  }
  EXPECT_EQ(choices("W1"), json::array({2, reference.preferredSensorIndexAtDisplayIndex(1), 1,
                                        reference.localizedReadingAtDisplayIndex(0)}));
  // Another instance keeps its own choices.
  EXPECT_NE(choices("W2")[0], 2);
}

// One argument too many or too few, one of the wrong type, a whole number
// beyond 32 bits (4294967295 would wrap to -1, "no sensor"), a name outside
// the tables: errors, and no controller made, no choice changed, nothing stored.
TEST_F(BridgeTest, WrongCallsAreRefusedAndChangeNothing) {
  call(dispatcher_, "W", "setWidgetIdentifier", {"W"});
  call(dispatcher_, "W", "setPreferredSensorIndexForDisplayIndex", {2, 1});
  const json shown = choices("W");
  const std::string stored = environment_.stored();
  // Each a script name and its arguments.
  for (const std::string text :
       {"setPreferredSensorIndexForDisplayIndex [0]",
        "setPreferredSensorIndexForDisplayIndex [0, 0, 1]",
        "setPreferredSensorIndexForDisplayIndex [\"0\", 0]",
        "setPreferredSensorIndexForDisplayIndex [4294967295, 0]", "setWidgetIdentifier [7]",
        "setOwnSensorNameAtIndex [0, 7]", "init []", "localizedSensorUnitAtIndex [0]",
        "setPreferredSensorIndex:forDisplayIndex: [0, 0]", "numberofavailablesensors []",
        "__proto__ []"}) {
    const std::size_t space = text.find(' ');
    for (const char* instance : {"W", "never-made"}) {
      json answer =
          call(dispatcher_, instance, text.substr(0, space), json::parse(text.substr(space)));
      EXPECT_TRUE(answer.contains("error") && !answer.contains("result")) << text;
    }
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 1u);
  EXPECT_EQ(choices("W"), shown);
  EXPECT_EQ(environment_.stored(), stored);
}

TEST_F(BridgeTest, MalformedRequestsAreAnsweredWithAnErrorAndMakeNoInstance) {
  const std::string sensors = R"(, "call": "numberOfAvailableSensors")";
  const std::tuple<std::string, const char*, json> cases[] = {
      {"", "not valid JSON", nullptr},
      {"[1, 2]", "JSON object", nullptr},
      {R"({"id": {"a": 1}, "instance": "A")" + sensors + "}", "\"id\"", nullptr},
      {R"({"id": 3)" + sensors + "}", "\"instance\"", 3},
      {R"({"id": 3, "instance": ")" + std::string(129, 'a') + '"' + sensors + "}", "\"instance\"",
       3},
      {R"({"id": 4, "instance": "A", "call": 12})", "\"call\"", 4},
      {R"({"id": 5, "instance": "A", "args": {})" + sensors + "}", "\"args\"", 5},
      {R"({"id": 6, "instance": "A", "drop": false})", "\"drop\"", 6},
      // A NUL would cut the stored key short, onto another instance's keys.
      {R"({"id": 7, "instance": "A", "call": "setWidgetIdentifier", "args": ["X:Sensor\u0000"]})",
       "control characters", 7},
      {R"({"id": 8, "instance": "A", "call": "logDebugString", "args": [")" +
           std::string(64 * 1024, 'x') + "\"]}",
       "larger than", nullptr},
  };
  for (const auto& [request, errorFragment, id] : cases) {
    BridgeDispatcher dispatcher;
    json answer = json::parse(dispatcher.handleText(request));
    EXPECT_NE(answer.value("error", "").find(errorFragment), std::string::npos) << answer.dump();
    EXPECT_EQ(answer["id"], id) << request.substr(0, 80);
    EXPECT_EQ(dispatcher.instanceCount(), 0u);
  }
  // A result that is not valid UTF-8 (a name cut inside a character) must not stop the answer.
  EXPECT_EQ(json::parse(BridgeDispatcher::serialize({{"id", 1}, {"result", "ab\xc3"}}))["result"],
            "ab\xef\xbf\xbd");
}

// When every place is taken, a new instance takes the place of the least
// recently used one that has been quiet; only while all are busy is it refused.
TEST_F(BridgeTest, TheNumberOfLiveInstancesIsCapped) {
  BridgeDispatcher::Limits limits;
  limits.maxInstances = 3;
  BridgeDispatcher dispatcher(limits);
  for (const char* name : {"A", "B", "C"}) {
    EXPECT_TRUE(answers(dispatcher, name));
    environment_.clock().advance(2);
  }
  EXPECT_NE(call(dispatcher, "D", "numberOfAvailableSensors").value("error", "").find("too many"),
            std::string::npos);
  // Live instances still answer; a freed place can be taken.
  EXPECT_TRUE(answers(dispatcher, "A"));
  dispatcher.handle({{"id", 1}, {"instance", "B"}, {"drop", true}});
  EXPECT_TRUE(answers(dispatcher, "D"));
  // C, quiet for longer than the quiet time, makes room for E; A and D stay.
  environment_.clock().advance(limits.quietSeconds - 1);
  EXPECT_TRUE(answers(dispatcher, "E"));
  EXPECT_FALSE(dispatcher.hasInstance("C"));
  EXPECT_TRUE(dispatcher.hasInstance("A") && dispatcher.hasInstance("D"));
}

// A choice the host could not store is not answered as kept; assigning the
// first defaults is no choice of the user's and still succeeds.
TEST_F(BridgeTest, AChoiceThatCannotBeStoredIsAnsweredWithAnError) {
  UserDefaults::setPreferencesDirectory("/dev/null/preferences");
  ScopedLogCapture log;
  BridgeDispatcher dispatcher;
  EXPECT_TRUE(call(dispatcher, "A", "setWidgetIdentifier", {"A"}).contains("result"));
  for (const auto& [name, args] :
       {std::pair{"setTemperatureUnitIndex", json{1}},
        std::pair{"setPreferredSensorIndexForDisplayIndex", json{2, 0}}}) {
    EXPECT_NE(call(dispatcher, "A", name, args).value("error", "").find("not saved"),
              std::string::npos);
  }
  // The choice holds for as long as the instance lives.
  EXPECT_EQ(call(dispatcher, "A", "preferredTemperatureUnitIndex")["result"], 1);
  EXPECT_TRUE(log.contains("cannot create the preferences folder"));
}

// A dropped instance goes at once, a silent one after five minutes to the
// second; an error answered keeps nobody alive. Either comes back with a fresh
// controller, without its identifier, and is told so.
TEST_F(BridgeTest, InstancesEndWhenDroppedOrSilentForFiveMinutes) {
  BridgeDispatcher dispatcher;
  for (const char* name : {"A", "B", "C"}) call(dispatcher, name, "setWidgetIdentifier", {name});
  EXPECT_EQ(dispatcher.handle({{"id", 9}, {"instance", "C"}, {"drop", true}}),
            (json{{"id", 9}, {"result", true}}));
  EXPECT_EQ(dispatcher.handle({{"id", 9}, {"instance", "C"}, {"drop", true}})["result"], false);
  environment_.clock().advance(200);
  call(dispatcher, "B", "localizedReadingAtDisplayIndex", {0});
  EXPECT_TRUE(call(dispatcher, "A", "noSuchCall").contains("error"));
  environment_.clock().advance(100);  // A silent for exactly 300 s: kept
  dispatcher.dropSilentInstances();
  EXPECT_TRUE(dispatcher.hasInstance("A"));
  environment_.clock().advance(1);
  call(dispatcher, "B", "localizedReadingAtDisplayIndex", {0});
  EXPECT_EQ(std::vector({dispatcher.hasInstance("A"), dispatcher.hasInstance("B"),
                         dispatcher.hasInstance("C")}),
            std::vector({false, true, false}));
  for (const char* name : {"A", "C"}) {
    json fresh = call(dispatcher, name, "preferredSensorIndexAtDisplayIndex", {0});
    EXPECT_EQ(std::pair(fresh.value("newInstance", false), fresh["result"]),
              std::pair(true, json(-1)));
  }
  // No "args" means no arguments; the longest instance name is taken.
  EXPECT_TRUE(dispatcher
                  .handle({{"id", 1},
                           {"instance", std::string(dispatcher.limits().maxInstanceLength, 'a')},
                           {"call", "numberOfAvailableSensors"}})
                  .contains("result"));
}

}  // namespace
}  // namespace zor::host::testing

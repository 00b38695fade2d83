// The dispatcher's own rules: request shapes, dropping, the instance cap and
// letting go of silent instances.

#include "platform/SystemLog.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

class BridgeDispatcherTest : public ::testing::Test {
 protected:
  bool answers(BridgeDispatcher& dispatcher, const std::string& instance) {
    return call(dispatcher, instance, "numberOfAvailableSensors").contains("result");
  }
  HostEnvironment environment_;
};

TEST_F(BridgeDispatcherTest, MalformedRequestsAreAnsweredWithAnErrorAndMakeNoInstance) {
  const std::string sensors = R"(, "call": "numberOfAvailableSensors")";
  const std::tuple<std::string, const char*, json> cases[] = {
      {"", "not valid JSON", nullptr},
      {"[1, 2]", "JSON object", nullptr},
      {R"({"id": {"a": 1}, "instance": "A")" + sensors + "}", "\"id\"", nullptr},
      {R"({"id": 3)" + sensors + "}", "\"instance\"", 3},
      {R"({"id": "x", "instance": "")" + sensors + "}", "\"instance\"", "x"},
      {R"({"id": 3, "instance": ")" + std::string(129, 'a') + '"' + sensors + "}", "\"instance\"",
       3},
      {R"({"id": 4, "instance": "A", "call": 12})", "\"call\"", 4},
      {R"({"id": 5, "instance": "A", "args": {})" + sensors + "}", "\"args\"", 5},
      {R"({"id": 5, "instance": "A", "call": "logDebugString"})", "takes 1", 5},
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
TEST_F(BridgeDispatcherTest, TheNumberOfLiveInstancesIsCapped) {
  BridgeDispatcher::Limits limits;
  limits.maxInstances = 3;
  BridgeDispatcher dispatcher(limits);
  for (const char* name : {"A", "B", "C"}) {
    EXPECT_TRUE(answers(dispatcher, name));
    environment_.clock().advance(2);
  }
  EXPECT_NE(call(dispatcher, "D", "numberOfAvailableSensors").value("error", "").find("too many"),
            std::string::npos);
  EXPECT_EQ(dispatcher.instanceCount(), 3u);
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
TEST_F(BridgeDispatcherTest, AChoiceThatCannotBeStoredIsAnsweredWithAnError) {
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
TEST_F(BridgeDispatcherTest, InstancesEndWhenDroppedOrSilentForFiveMinutes) {
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

// The dispatcher's own rules: request shapes, dropping, the instance cap and
// letting go of silent instances.

#include "platform/SystemLog.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

using nlohmann::json;

class BridgeDispatcherTest : public ::testing::Test {
 protected:
  json call(BridgeDispatcher& dispatcher, const std::string& instance, const std::string& name,
            json args = json::array()) {
    return dispatcher.handle({{"id", 1}, {"instance", instance}, {"call", name}, {"args", args}});
  }

  HostEnvironment environment_;
};

struct ShapeCase {
  const char* request;
  const char* errorFragment;
  json id;
};

class RequestShapeTest : public BridgeDispatcherTest,
                         public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(RequestShapeTest, IsAnsweredWithAnErrorAndMakesNoInstance) {
  BridgeDispatcher dispatcher;
  json answer = json::parse(dispatcher.handleText(GetParam().request));
  ASSERT_TRUE(answer.contains("error")) << answer.dump();
  EXPECT_NE(answer["error"].get<std::string>().find(GetParam().errorFragment), std::string::npos)
      << answer.dump();
  EXPECT_EQ(answer["id"], GetParam().id);
  EXPECT_EQ(dispatcher.instanceCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestShapeTest,
    ::testing::Values(
        ShapeCase{"", "not valid JSON", nullptr},
        ShapeCase{"{\"id\": 1,", "not valid JSON", nullptr},
        ShapeCase{"[1, 2]", "JSON object", nullptr}, ShapeCase{"\"call\"", "JSON object", nullptr},
        ShapeCase{
            "{\"id\": {\"a\": 1}, \"instance\": \"A\", \"call\": \"numberOfAvailableSensors\"}",
            "\"id\"", nullptr},
        ShapeCase{"{\"id\": 3, \"call\": \"numberOfAvailableSensors\"}", "\"instance\"", 3},
        ShapeCase{"{\"id\": 3, \"instance\": 5, \"call\": \"numberOfAvailableSensors\"}",
                  "\"instance\"", 3},
        ShapeCase{"{\"id\": \"x\", \"instance\": \"\", \"call\": \"numberOfAvailableSensors\"}",
                  "\"instance\"", "x"},
        ShapeCase{"{\"id\": 4, \"instance\": \"A\"}", "\"call\"", 4},
        ShapeCase{"{\"id\": 4, \"instance\": \"A\", \"call\": 12}", "\"call\"", 4},
        ShapeCase{"{\"id\": 5, \"instance\": \"A\", \"call\": \"numberOfAvailableSensors\", "
                  "\"args\": {}}",
                  "\"args\"", 5},
        ShapeCase{"{\"id\": 6, \"instance\": \"A\", \"drop\": false}", "\"drop\"", 6},
        // A NUL would cut the stored key short, onto another instance's keys.
        ShapeCase{"{\"id\": 7, \"instance\": \"A\", \"call\": \"setWidgetIdentifier\", "
                  "\"args\": [\"X:SensorIDForDisplayPosition1\\u0000\"]}",
                  "control characters", 7},
        ShapeCase{"{\"id\": 7, \"instance\": \"A\", \"call\": \"setWidgetIdentifier\", "
                  "\"args\": [\"X\\nY\"]}",
                  "control characters", 7},
        ShapeCase{"{\"id\": 6, \"instance\": \"A\", \"drop\": 1}", "\"drop\"", 6}));

TEST_F(BridgeDispatcherTest, OverlongInstanceNamesAreRefused) {
  BridgeDispatcher dispatcher;
  const size_t limit = dispatcher.limits().maxInstanceLength;
  EXPECT_TRUE(
      call(dispatcher, std::string(limit + 1, 'a'), "numberOfAvailableSensors").contains("error"));
  EXPECT_TRUE(
      call(dispatcher, std::string(limit, 'a'), "numberOfAvailableSensors").contains("result"));
}

TEST_F(BridgeDispatcherTest, OversizedRequestsAreRefusedUnread) {
  BridgeDispatcher dispatcher;
  const size_t limit = dispatcher.limits().maxRequestBytes;
  json request{{"id", 1}, {"instance", "A"}, {"call", "logDebugString"}, {"args", {""}}};
  request["args"][0] = std::string(limit, 'x');
  json answer = json::parse(dispatcher.handleText(request.dump()));
  ASSERT_TRUE(answer.contains("error"));
  EXPECT_NE(answer["error"].get<std::string>().find("larger than"), std::string::npos);
  EXPECT_EQ(dispatcher.instanceCount(), 0u);
}

TEST_F(BridgeDispatcherTest, MissingArgsMeansNoArguments) {
  BridgeDispatcher dispatcher;
  json answer =
      dispatcher.handle({{"id", 1}, {"instance", "A"}, {"call", "numberOfAvailableSensors"}});
  EXPECT_TRUE(answer["result"].is_number_integer()) << answer.dump();
  json missing = dispatcher.handle({{"id", 2}, {"instance", "A"}, {"call", "logDebugString"}});
  EXPECT_TRUE(missing.contains("error"));
}

TEST_F(BridgeDispatcherTest, DropReleasesTheController) {
  BridgeDispatcher dispatcher;
  call(dispatcher, "A", "setWidgetIdentifier", {"A"});
  EXPECT_TRUE(dispatcher.hasInstance("A"));
  json dropped = dispatcher.handle({{"id", 9}, {"instance", "A"}, {"drop", true}});
  EXPECT_EQ(dropped, (json{{"id", 9}, {"result", true}}));
  EXPECT_FALSE(dispatcher.hasInstance("A"));
  json again = dispatcher.handle({{"id", 10}, {"instance", "A"}, {"drop", true}});
  EXPECT_EQ(again["result"], false);
  // The next call makes a new controller, which starts without an identifier.
  json fresh = call(dispatcher, "A", "preferredSensorIndexAtDisplayIndex", {0});
  EXPECT_EQ(fresh.value("newInstance", false), true);
  EXPECT_EQ(fresh["result"], -1);
}

// When every place is taken, a new instance takes the place of the least
// recently used one that has been quiet; only while all are busy is it refused.
TEST_F(BridgeDispatcherTest, TheNumberOfLiveInstancesIsCapped) {
  BridgeDispatcher::Limits limits;
  limits.maxInstances = 3;
  BridgeDispatcher dispatcher(limits);
  for (const char* name : {"A", "B", "C"}) {
    EXPECT_TRUE(call(dispatcher, name, "numberOfAvailableSensors").contains("result"));
    environment_.clock().advance(2);
  }
  json refused = call(dispatcher, "D", "numberOfAvailableSensors");
  ASSERT_TRUE(refused.contains("error"));
  EXPECT_NE(refused["error"].get<std::string>().find("too many"), std::string::npos);
  EXPECT_EQ(dispatcher.instanceCount(), 3u);
  // Live instances still answer; a freed place can be taken.
  EXPECT_TRUE(call(dispatcher, "A", "numberOfAvailableSensors").contains("result"));
  dispatcher.handle({{"id", 1}, {"instance", "B"}, {"drop", true}});
  EXPECT_TRUE(call(dispatcher, "D", "numberOfAvailableSensors").contains("result"));
  // C, quiet for longer than the quiet time, makes room for E; A and D stay.
  environment_.clock().advance(limits.quietSeconds - 1);
  EXPECT_TRUE(call(dispatcher, "E", "numberOfAvailableSensors").contains("result"));
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
    json answer = call(dispatcher, "A", name, args);
    ASSERT_TRUE(answer.contains("error")) << answer.dump();
    EXPECT_NE(answer["error"].get<std::string>().find("not saved"), std::string::npos);
  }
  // The choice holds for as long as the instance lives.
  EXPECT_EQ(call(dispatcher, "A", "preferredTemperatureUnitIndex")["result"], 1);
  EXPECT_TRUE(log.contains("cannot create the preferences folder"));
}

TEST_F(BridgeDispatcherTest, SilentInstancesLoseTheirControllerAfterFiveMinutes) {
  BridgeDispatcher dispatcher;
  EXPECT_DOUBLE_EQ(dispatcher.limits().silenceSeconds, 300.0);
  call(dispatcher, "A", "setWidgetIdentifier", {"A"});
  call(dispatcher, "B", "setWidgetIdentifier", {"B"});
  environment_.clock().advance(200);
  call(dispatcher, "B", "localizedReadingAtDisplayIndex", {0});
  environment_.clock().advance(100);  // A silent for exactly 300 s: kept
  dispatcher.dropSilentInstances();
  EXPECT_TRUE(dispatcher.hasInstance("A"));
  environment_.clock().advance(1);
  call(dispatcher, "B", "localizedReadingAtDisplayIndex", {0});
  EXPECT_FALSE(dispatcher.hasInstance("A"));
  EXPECT_TRUE(dispatcher.hasInstance("B"));
  // A comes back with a fresh controller and is told so.
  json back = call(dispatcher, "A", "numberOfAvailableSensors");
  EXPECT_EQ(back.value("newInstance", false), true);
}

TEST_F(BridgeDispatcherTest, ErrorsDoNotKeepAnInstanceAlive) {
  BridgeDispatcher dispatcher;
  call(dispatcher, "A", "setWidgetIdentifier", {"A"});
  environment_.clock().advance(250);
  EXPECT_TRUE(call(dispatcher, "A", "noSuchCall").contains("error"));
  environment_.clock().advance(51);
  dispatcher.dropSilentInstances();
  EXPECT_FALSE(dispatcher.hasInstance("A"));
}

TEST_F(BridgeDispatcherTest, AnswersWithInvalidTextAreStillJson) {
  // A result that is not valid UTF-8 (a name cut inside a character) must not
  // stop the answer.
  std::string answer = BridgeDispatcher::serialize(json{{"id", 1}, {"result", "ab\xc3"}});
  json parsed = json::parse(answer);
  EXPECT_EQ(parsed["result"], "ab\xef\xbf\xbd");
}

}  // namespace
}  // namespace zor::host::testing

// Our own calls beside the seventeen, over every transport: each reaches its
// operation, wrong arguments change nothing, and a foreign page can call
// them no more than the others.

#include <filesystem>
#include <functional>
#include <set>

#include "tests/host/HostTestSupport.h"
#include "widget/OwnScriptCalls.h"
#include "widget/OwnSensorOperations.h"
#include "widget/PluginController.h"

namespace zor::host::testing {
namespace {

using nlohmann::json;
using Ops = OwnSensorOperations;

class OwnCallsTest : public ::testing::TestWithParam<Transport> {
 protected:
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  BridgeClient client_{dispatcher_, GetParam()};

  bool anythingStored() const {
    return !std::filesystem::is_empty(environment_.preferencesDirectory());
  }
};

TEST_P(OwnCallsTest, EveryOwnCallReachesItsOperation) {
  auto reference = std::make_shared<PluginController>();
  ASSERT_TRUE(reference->init());
  reference->setWidgetIdentifier("W1");
  struct Call {
    const char* name;
    json args;
    std::function<json(PluginController&)> expected;
  };
  const Call calls[] = {
      {"setWidgetIdentifier", {"W1"}, [](PluginController&) { return json(); }},
      {"setOwnSensorNameAtIndex",
       {1, "Left core"},
       [](PluginController& c) { return json(Ops::setOwnSensorNameAtIndex(c, 1, "Left core")); }},
      {"setOwnSensorLimitAtIndex",
       {1, "x"},
       [](PluginController& c) { return json(Ops::setOwnSensorLimitAtIndex(c, 1, "x")); }},
      {"setOwnSensorLimitAtIndex",
       {1, "60"},
       [](PluginController& c) { return json(Ops::setOwnSensorLimitAtIndex(c, 1, "60")); }},
      {"shownSensorNameAtIndex",
       {1},
       [](PluginController& c) { return json(Ops::shownSensorNameAtIndex(c, 1)); }},
      {"shownSensorNameAtDisplayIndex",
       {1},
       [](PluginController& c) { return json(Ops::shownSensorNameAtDisplayIndex(c, 1)); }},
      {"ownSensorNameAtIndex",
       {1},
       [](PluginController& c) { return json(Ops::ownSensorNameAtIndex(c, 1)); }},
      {"sensorLimitAtIndex",
       {1},
       [](PluginController& c) { return json(Ops::sensorLimitAtIndex(c, 1)); }},
      {"criticalSensorLimitAtIndex",
       {1},
       [](PluginController& c) { return json(Ops::criticalSensorLimitAtIndex(c, 1)); }},
      {"ownSensorLimitAtIndex",
       {1},
       [](PluginController& c) { return json(Ops::ownSensorLimitAtIndex(c, 1)); }},
  };
  std::set<std::string> covered;
  for (const Call& call : calls) {
    SCOPED_TRACE(call.name);
    json answer = client_.call("W1", call.name, call.args);
    ASSERT_FALSE(answer.contains("error")) << answer.dump();
    EXPECT_EQ(answer["result"], call.expected(*reference));
    covered.insert(call.name);
  }
  for (const WebScriptMethod& method : ownScriptMethods()) {
    EXPECT_TRUE(covered.count(method.scriptName)) << method.scriptName << " not exercised";
  }
  EXPECT_EQ(client_.call("W1", "shownSensorNameAtIndex", {1})["result"], "Left core");
}

TEST_P(OwnCallsTest, WrongArgumentsAreRefusedAndStoreNothing) {
  for (const WebScriptMethod& method : ownScriptMethods()) {
    json good = json::array();
    for (ScriptType type : method.arguments) {
      good.push_back(type == ScriptType::String ? json("Pump") : json(0));
    }
    json extra = good;
    extra.push_back(1);
    json mistyped = good;
    mistyped[0] = "0";
    for (const json& args : {extra, mistyped}) {
      SCOPED_TRACE(std::string(method.scriptName) + " " + args.dump());
      EXPECT_TRUE(client_.call("W", method.scriptName, args).contains("error"));
    }
  }
  EXPECT_FALSE(anythingStored());
}

INSTANTIATE_TEST_SUITE_P(Transports, OwnCallsTest,
                         ::testing::Values(Transport::Direct, Transport::Stdio, Transport::Http),
                         [](const auto& info) { return std::string(transportName(info.param)); });

TEST(OwnCallsHttpTest, ForeignPagesCannotRenameSensors) {
  HostEnvironment environment;
  BridgeDispatcher dispatcher;
  BridgeClient client(dispatcher, Transport::Http);
  const json request{
      {"id", 1}, {"instance", "A"}, {"call", "setOwnSensorNameAtIndex"}, {"args", {0, "Pwned"}}};
  for (const char* origin : {"http://attacker.example", "null"}) {
    SCOPED_TRACE(origin);
    auto response = client.http()->Post("/bridge", httplib::Headers{{"Origin", origin}},
                                        request.dump(), "application/json");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 403);
  }
  EXPECT_TRUE(std::filesystem::is_empty(environment.preferencesDirectory()));
}

}  // namespace
}  // namespace zor::host::testing

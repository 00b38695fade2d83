// Every script name, the design's and our own, through the dispatcher: good
// arguments reach the right operation with the right values; wrong names,
// counts and types are answered with errors and change nothing. The
// transports only carry the text (TransportTest).

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

class BridgeCallsTest : public ::testing::Test {
 protected:
  // What an instance shows of its choices: sensors at display 0 and 1, the unit, a reading.
  json choices(const std::string& instance) {
    return {call(dispatcher_, instance, "preferredSensorIndexAtDisplayIndex", {0})["result"],
            call(dispatcher_, instance, "preferredSensorIndexAtDisplayIndex", {1})["result"],
            call(dispatcher_, instance, "preferredTemperatureUnitIndex")["result"],
            call(dispatcher_, instance, "localizedReadingAtDisplayIndex", {0})["result"]};
  }

  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
};

// Each call in turn, beside the same operation made directly on a controller
// of the test's own: the answers agree and the choices take effect.
TEST_F(BridgeCallsTest, EveryScriptNameReachesItsOperation) {
  PC reference;
  ASSERT_TRUE(reference.init());
  ASSERT_GE(reference.numberOfAvailableSensors(), 3) << "the demo machine has sensors to choose";
  ScopedLogCapture log;
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
  EXPECT_EQ(call(dispatcher_, "W1", "shownSensorNameAtIndex", {1})["result"], "Left core");
  EXPECT_TRUE(log.contains("bridge check"));
  EXPECT_EQ(call(dispatcher_, "W1", "setOwnSensorLimitAtIndex", {1, "x"})["result"],
            Ops::setOwnSensorLimitAtIndex(reference, 1, "x"));
  // Another instance keeps its own choices.
  EXPECT_NE(choices("W2")[0], 2);
}

// One argument too many or too few, one of the wrong type, a whole number
// beyond 32 bits (4294967295 would wrap to -1, "no sensor"), a name outside
// the tables: errors, and no controller made, no choice changed, nothing stored.
TEST_F(BridgeCallsTest, WrongCallsAreRefusedAndChangeNothing) {
  call(dispatcher_, "W", "setWidgetIdentifier", {"W"});
  call(dispatcher_, "W", "setPreferredSensorIndexForDisplayIndex", {2, 1});
  const json shown = choices("W");
  const std::string stored = environment_.stored();
  // Each a script name and its arguments.
  for (const std::string text :
       {"setPreferredSensorIndexForDisplayIndex [0]",
        "setPreferredSensorIndexForDisplayIndex [0, 0, 1]",
        "setPreferredSensorIndexForDisplayIndex [\"0\", 0]",
        "setPreferredSensorIndexForDisplayIndex [4294967295, 0]", "setTemperatureUnitIndex [null]",
        "setWidgetIdentifier [7]", "setMaximumSensorNameWidth [\"24\"]", "logDebugString []",
        "setOwnSensorNameAtIndex [0, 7]", "setOwnSensorLimitAtIndex [0, \"60\", 1]", "init []",
        "localizedSensorUnitAtIndex [0]", "setPreferredSensorIndex:forDisplayIndex: [0, 0]",
        "numberofavailablesensors []", "__proto__ []"}) {
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

}  // namespace
}  // namespace zor::host::testing

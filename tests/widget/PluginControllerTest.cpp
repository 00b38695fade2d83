#include <gtest/gtest.h>

#include "platform/SystemLog.h"
#include "widget/ControllerFixture.h"
#include "widget/WindowScriptObject.h"

namespace zor {
namespace {

using testing::ControllerFixture;

class RecordingWindow : public WindowScriptObject {
 public:
  void setValueForKey(std::shared_ptr<PluginController> value, const std::string& key) override {
    values.emplace_back(key, std::move(value));
  }
  std::vector<std::pair<std::string, std::shared_ptr<PluginController>>> values;
};

using PluginControllerTest = ControllerFixture;

TEST_F(PluginControllerTest, MachineWithoutSensorsSaysSo) {
  fakes.bundle->tables["Localizable"]["No accessible sensors found"] = "Keine Sensoren";
  auto controller = makeController();
  EXPECT_EQ(controller->numberOfAvailableSensors(), 0);
  EXPECT_EQ(controller->currentState(), 1);
  EXPECT_EQ(controller->localizedStatusMessage(), "Keine Sensoren");
  controller->setWidgetIdentifier("A");
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), -1);
  EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), "");
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(0), "");
  EXPECT_EQ(controller->relativePathForTypeIconAtDisplayIndex(0), "Images/TNull.png");
}

TEST_F(PluginControllerTest, StatusIsEmptyWhenSensorsExist) {
  add("a", "A", 1);
  auto controller = makeController();
  EXPECT_EQ(controller->currentState(), 0);
  EXPECT_EQ(controller->localizedStatusMessage(), "");
  EXPECT_EQ(family.searches, 1);
}

TEST_F(PluginControllerTest, SortsOnceAndMapsIdentifiersToPositions) {
  add("freq", "A", 13);
  add("b", "B", 1);
  add("a", "A", 1);
  auto controller = makeController();
  ASSERT_EQ(controller->numberOfAvailableSensors(), 3);
  EXPECT_EQ(controller->sensorArray()[0]->uniqueIdentifier(), "a");
  EXPECT_EQ(controller->sensorArray()[1]->uniqueIdentifier(), "b");
  EXPECT_EQ(controller->sensorArray()[2]->uniqueIdentifier(), "freq");
  EXPECT_EQ(controller->sensorIndexForSensorID("a"), 0u);
  EXPECT_EQ(controller->sensorIndexForSensorID("freq"), 2u);
  EXPECT_EQ(controller->sensorIndexForSensorID(""), 0xFFFFFFFFu);
  EXPECT_EQ(controller->sensorIndexForSensorID("gone"), 0xFFFFFFFFu);
}

TEST_F(PluginControllerTest, LaterSensorWithTheSameIdentifierTakesTheEntry) {
  add("dup", "B", 1);
  add("dup", "A", 1);
  auto controller = makeController();
  EXPECT_EQ(controller->sensorIndexForSensorID("dup"), 1u);
}

TEST_F(PluginControllerTest, SensorIdentifierOfADisplayPosition) {
  add("a", "A", 1);
  auto controller = makeController();
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "") << "nothing chosen yet";
  controller->setWidgetIdentifier("W");
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "a");
  EXPECT_EQ(controller->sensorIDForDisplayIndex(1), "") << "the position holds -1";
  EXPECT_EQ(controller->sensorIDForDisplayIndex(2), "");
  EXPECT_EQ(controller->sensorIDForDisplayIndex(-1), "");
}

TEST_F(PluginControllerTest, VersionMessage) {
  auto controller = makeController();
  EXPECT_EQ(controller->localizedVersionMessage(), "") << "no short version string";
  fakes.bundle->info["CFBundleShortVersionString"] = PlistValue("");
  EXPECT_EQ(controller->localizedVersionMessage(), "");
  fakes.bundle->info["CFBundleShortVersionString"] = PlistValue::integer(2);
  EXPECT_EQ(controller->localizedVersionMessage(), "") << "a version that is no text";
  fakes.bundle->info["CFBundleShortVersionString"] = PlistValue("2.1");
  EXPECT_EQ(controller->localizedVersionMessage(), "Version: 2.1");
  fakes.bundle->tables["Localizable"]["Version: %@"] = "Fassung %@ (100%%)";
  EXPECT_EQ(controller->localizedVersionMessage(), "Fassung 2.1 (100%)");
}

TEST_F(PluginControllerTest, MasterApplication) {
  auto controller = makeController();
  EXPECT_EQ(controller->bundleIdentifierForMasterApplication(), "com.talvero.system.quorvane");
  std::string page = controller->localizedURLForMasterApplication();
  EXPECT_EQ(page.rfind("https://", 0), 0u);
  fakes.bundle->tables["Localizable"][page] = "https://example.org/de/";
  EXPECT_EQ(controller->localizedURLForMasterApplication(), "https://example.org/de/");
}

TEST_F(PluginControllerTest, DebugStringGoesToTheLog) {
  auto controller = makeController();
  ScopedLogCapture log;
  controller->logDebugString("50% %s done");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "Debug message('50% %s done')\n");
}

TEST_F(PluginControllerTest, PublishesItselfToTheScript) {
  auto controller = makeController();
  RecordingWindow window;
  controller->windowScriptObjectAvailable(window);
  ASSERT_EQ(window.values.size(), 1u);
  EXPECT_EQ(window.values[0].first, "PluginController");
  EXPECT_EQ(window.values[0].second, controller);

  PluginController unowned;
  RecordingWindow other;
  unowned.windowScriptObjectAvailable(other);
  EXPECT_TRUE(other.values.empty())
      << "a controller not held by a shared pointer is never published";
}

TEST_F(PluginControllerTest, ScriptNamesAndExclusions) {
  EXPECT_EQ(PluginController::webScriptNameForSelector("setPreferredSensorIndex:forDisplayIndex:"),
            "setPreferredSensorIndexForDisplayIndex");
  EXPECT_EQ(PluginController::webScriptNameForSelector("logDebugString:"), "logDebugString");
  EXPECT_FALSE(PluginController::webScriptNameForSelector("init").has_value());
  EXPECT_FALSE(PluginController::webScriptNameForSelector("logDebugString").has_value())
      << "colon counts";
  EXPECT_TRUE(PluginController::isSelectorExcludedFromWebScript("init"));
  EXPECT_TRUE(PluginController::isSelectorExcludedFromWebScript("sensorIndexForSensorID:"));
  EXPECT_FALSE(PluginController::isSelectorExcludedFromWebScript("numberOfAvailableSensors"));
  EXPECT_TRUE(PluginController::isKeyExcludedFromWebScript("sensorArray"));
  EXPECT_TRUE(PluginController::isKeyExcludedFromWebScript("maxLabelWidth"));
}

TEST_F(PluginControllerTest, IdentifierAssignsDefaultPositions) {
  struct Case {
    int sensors;
    std::int32_t first, second;
  };
  for (const Case& c : {Case{0, -1, -1}, Case{1, 0, -1}, Case{2, 0, 1}, Case{5, 0, 1}}) {
    SCOPED_TRACE(c.sensors);
    family.sensors.clear();
    for (int i = 0; i < c.sensors; ++i) add("s" + std::to_string(i), "L" + std::to_string(i), 1);
    auto controller = makeController();
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), -1)
        << "nothing before the identifier";
    controller->setWidgetIdentifier("W");
    EXPECT_EQ(controller->widgetIdentifier(), "W");
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), c.first);
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), c.second);
  }
}

TEST_F(PluginControllerTest, ExistingChoiceIsNotOverriddenByDefaults) {
  for (int i = 0; i < 4; ++i) add("s" + std::to_string(i), "L" + std::to_string(i), 1);
  auto controller = makeController();
  controller->setPreferredSensorIndex(3, 1);
  controller->setWidgetIdentifier("W");
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), 3);
}

TEST_F(PluginControllerTest, InstanceKeys) {
  auto controller = makeController();
  EXPECT_EQ(controller->widgetInstanceKeyForPreferenceKey("SensorIDForDisplayPosition1"),
            "SensorIDForDisplayPosition1");
  controller->setWidgetIdentifier("0123-ab");
  EXPECT_EQ(controller->widgetInstanceKeyForPreferenceKey("SensorIDForDisplayPosition1"),
            "0123-ab:SensorIDForDisplayPosition1");
}

TEST_F(PluginControllerTest, PreferredSensorIndexIsRangeChecked) {
  for (int i = 0; i < 3; ++i) add("s" + std::to_string(i), "L" + std::to_string(i), 1);
  struct Case {
    std::int32_t sensor, display;
    bool accepted;
  };
  const Case cases[] = {{2, 0, true},   {-1, 1, true},         {0, 1, true},
                        {-2, 0, false}, {3, 0, false},         {0, 2, false},
                        {0, -1, false}, {INT32_MIN, 0, false}, {INT32_MAX, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sensor) + "@" + std::to_string(c.display));
    auto controller = makeController();
    controller->setWidgetIdentifier("W");  // positions 0 and 1
    controller->setPreferredSensorIndex(c.sensor, c.display);
    std::int32_t expected0 = (c.accepted && c.display == 0) ? c.sensor : 0;
    std::int32_t expected1 = (c.accepted && c.display == 1) ? c.sensor : 1;
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), expected0);
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), expected1);
  }
}

TEST_F(PluginControllerTest, TemperatureUnitIsRangeChecked) {
  auto controller = makeController();
  for (std::int32_t rejected : {3, -1, INT32_MIN}) {
    controller->setTemperatureUnitIndex(rejected);
    EXPECT_EQ(controller->preferredTemperatureUnitIndex(), 0);
  }
  controller->setTemperatureUnitIndex(2);
  EXPECT_EQ(controller->preferredTemperatureUnitIndex(), 2);
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(2), -1);
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(-1), -1);
}

}  // namespace
}  // namespace zor

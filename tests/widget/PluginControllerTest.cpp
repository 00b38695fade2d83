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

class PluginControllerTest : public ControllerFixture {
 protected:
  void addSensors(int count) {
    for (int i = 0; i < count; ++i) add("s" + std::to_string(i), "L" + std::to_string(i), 1);
  }
};

TEST_F(PluginControllerTest, StatusSaysWhetherTheMachineHasSensors) {
  fakes.bundle->tables["Localizable"]["No accessible sensors found"] = "Keine Sensoren";
  EXPECT_EQ(makeController()->localizedStatusMessage(), "Keine Sensoren");
  EXPECT_EQ(makeController()->currentState(), 1);
  add("a", "A", 1);
  EXPECT_EQ(makeController()->localizedStatusMessage(), "");
  EXPECT_EQ(makeController()->currentState(), 0);
}

TEST_F(PluginControllerTest, SortsOnceAndMapsIdentifiersToPositions) {
  add("freq", "A", 13);
  add("b", "B", 1);
  add("a", "A", 1);
  add("b", "C", 1);  // a later sensor with the same identifier takes the entry
  auto controller = makeController();
  EXPECT_EQ(family.searches, 1);
  std::vector<std::string> order;
  for (const auto& sensor : controller->sensorArray()) order.push_back(sensor->uniqueIdentifier());
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "b", "freq"}));
  EXPECT_EQ(controller->sensorIndexForSensorID("b"), 2u);
  EXPECT_EQ(controller->sensorIndexForSensorID("freq"), 3u);
  EXPECT_EQ(controller->sensorIndexForSensorID(""), 0xFFFFFFFFu);
  EXPECT_EQ(controller->sensorIndexForSensorID("gone"), 0xFFFFFFFFu);
}

TEST_F(PluginControllerTest, PositionsAndIndicesOutOfRangeGiveNothing) {
  add("a", "A", 1, 20);
  auto controller = makeController();
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "") << "nothing chosen yet";
  controller->setWidgetIdentifier("W");  // one sensor: position 1 holds -1
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "a");
  for (std::int32_t displayIndex : {1, 2, -1, INT32_MIN}) {
    SCOPED_TRACE(displayIndex);
    EXPECT_EQ(controller->sensorIDForDisplayIndex(displayIndex), "");
    EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(displayIndex), "");
    EXPECT_EQ(controller->localizedReadingAtDisplayIndex(displayIndex), "");
    EXPECT_EQ(controller->relativePathForTypeIconAtDisplayIndex(displayIndex), "Images/TNull.png");
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(displayIndex), -1);
  }
  for (std::int32_t sensorIndex : {1, -1}) {
    EXPECT_EQ(controller->localizedSensorNameAtIndex(sensorIndex), "");
    EXPECT_EQ(controller->localizedSensorUnitAtIndex(sensorIndex), "");
    EXPECT_EQ(controller->localizedReadingForSensorAtIndex(sensorIndex), "");
  }
}

TEST_F(PluginControllerTest, VersionMessage) {
  auto controller = makeController();
  EXPECT_EQ(controller->localizedVersionMessage(), "") << "no short version string";
  for (const PlistValue& notText : {PlistValue(""), PlistValue::integer(2)}) {
    fakes.bundle->info["CFBundleShortVersionString"] = notText;
    EXPECT_EQ(controller->localizedVersionMessage(), "");
  }
  fakes.bundle->info["CFBundleShortVersionString"] = PlistValue("2.1");
  EXPECT_EQ(controller->localizedVersionMessage(), "Version: 2.1");
  fakes.bundle->tables["Localizable"]["Version: %@"] = "Fassung %@ (100%%)";
  EXPECT_EQ(controller->localizedVersionMessage(), "Fassung 2.1 (100%)");
}

TEST_F(PluginControllerTest, DebugStringGoesToTheLogAsItIs) {
  ScopedLogCapture log;
  makeController()->logDebugString("50% %s done");
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Debug message('50% %s done')\n"});
}

TEST_F(PluginControllerTest, PublishesItselfToTheScriptOnlyWhenShared) {
  auto controller = makeController();
  RecordingWindow window, other;
  controller->windowScriptObjectAvailable(window);
  ASSERT_EQ(window.values.size(), 1u);
  EXPECT_EQ(window.values[0], std::make_pair(std::string("PluginController"), controller));
  PluginController unowned;
  unowned.windowScriptObjectAvailable(other);
  EXPECT_TRUE(other.values.empty()) << "the script could outlive it";
}

TEST_F(PluginControllerTest, IdentifierAssignsDefaultPositionsAndInstanceKeys) {
  for (auto [sensors, first, second] : {std::tuple{0, -1, -1}, {1, 0, -1}, {2, 0, 1}, {5, 0, 1}}) {
    SCOPED_TRACE(sensors);
    family.sensors.clear();
    addSensors(sensors);
    auto controller = makeController();
    EXPECT_EQ(controller->widgetInstanceKeyForPreferenceKey("K"), "K");
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), -1) << "before the identifier";
    controller->setWidgetIdentifier("0123-ab");
    EXPECT_EQ(controller->widgetInstanceKeyForPreferenceKey("K"), "0123-ab:K");
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), first);
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), second);
  }
  // A choice made before the identifier is not overridden by the defaults.
  auto controller = makeController();
  controller->setPreferredSensorIndex(3, 1);
  controller->setWidgetIdentifier("W");
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1), 3);
}

TEST_F(PluginControllerTest, ChoicesAreRangeChecked) {
  addSensors(3);
  // A sensor index for a display index, or (kU) a temperature unit index; accepted or not.
  constexpr std::int32_t kU = 100;
  const std::tuple<std::int32_t, std::int32_t, bool> cases[] = {
      {2, 0, true},           {-1, 1, true},  {0, 1, true},    {-2, 0, false},
      {3, 0, false},          {0, 2, false},  {0, -1, false},  {INT32_MIN, 0, false},
      {2, kU, true},          {3, kU, false}, {-1, kU, false}, {INT32_MAX, 1, false},
      {INT32_MIN, kU, false},
  };
  for (const auto& [value, display, accepted] : cases) {
    SCOPED_TRACE(std::to_string(value) + "@" + std::to_string(display));
    auto controller = makeController();
    controller->setWidgetIdentifier("W");  // positions 0 and 1
    if (display == kU) {
      controller->setTemperatureUnitIndex(value);
      EXPECT_EQ(controller->preferredTemperatureUnitIndex(), accepted ? value : 0);
    } else {
      controller->setPreferredSensorIndex(value, display);
    }
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(0),
              accepted && display == 0 ? value : 0);
    EXPECT_EQ(controller->preferredSensorIndexAtDisplayIndex(1),
              accepted && display == 1 ? value : 1);
  }
}

}  // namespace
}  // namespace zor

#include <gtest/gtest.h>

#include "platform/SystemLog.h"
#include "widget/ControllerFixture.h"

namespace zor::testing {
namespace {

using PluginControllerTest = ControllerFixture;

TEST_F(PluginControllerTest, StatusSaysWhetherTheMachineHasSensors) {
  fakes.bundle->tables["Localizable"]["No accessible sensors found"] = "Keine Sensoren";
  EXPECT_EQ(makeController()->localizedStatusMessage(), "Keine Sensoren");
  add("a", "A", 1);
  EXPECT_EQ(makeController()->localizedStatusMessage(), "");
}

TEST_F(PluginControllerTest, SortsOnceAndMapsIdentifiersToPositions) {
  add("freq", "A", 13, 0, "MHz");
  add("b", "B", 1);
  add("a", "A", 1);
  add("b", "C", 1);  // a later sensor with the same identifier takes the entry
  auto controller = makeController();
  EXPECT_EQ(family.searches, 1);
  std::string order;
  for (const auto& sensor : controller->sensorArray()) order += sensor->uniqueIdentifier() + " ";
  EXPECT_EQ(order, "a b b freq ");
  for (auto [id, index] : {std::pair{"b", 2u}, {"freq", 3u}, {"", 0xFFFFFFFFu}, {"x", ~0u}}) {
    EXPECT_EQ(controller->sensorIndexForSensorID(id), index) << id;
  }
}

// Display positions hold -1 (no sensor) or a sensor index; anything else shows nothing.
TEST_F(PluginControllerTest, PositionsAndIndicesOutOfRangeGiveNothing) {
  add("a", "A", 1, 20);
  auto controller = makeController();
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "") << "nothing chosen yet";
  controller->setWidgetIdentifier("W");  // one sensor: position 1 holds -1
  EXPECT_EQ(controller->sensorIDForDisplayIndex(0), "a");
  for (std::int32_t index : {1, 2, -1, INT32_MIN}) {
    PluginController& c = *controller;
    EXPECT_EQ(c.sensorIDForDisplayIndex(index) + c.localizedSensorNameAtDisplayIndex(index) +
                  c.localizedReadingAtDisplayIndex(index) + c.localizedSensorNameAtIndex(index) +
                  c.localizedReadingForSensorAtIndex(index) +
                  c.relativePathForTypeIconAtDisplayIndex(index),
              "Images/TNull.png")
        << index;
    EXPECT_EQ(c.preferredSensorIndexAtDisplayIndex(index), -1) << index;
  }
}

TEST_F(PluginControllerTest, VersionMessage) {
  auto controller = makeController();
  const std::pair<PlistValue, const char*> rows[] = {
      {PlistValue(""), ""}, {PlistValue::integer(2), ""}, {PlistValue("2.1"), "Version: 2.1"}};
  for (const auto& [version, message] : rows) {
    fakes.bundle->info["CFBundleShortVersionString"] = version;
    EXPECT_EQ(controller->localizedVersionMessage(), message);
  }
  fakes.bundle->tables["Localizable"]["Version: %@"] = "Fassung %@ (100%%)";
  EXPECT_EQ(controller->localizedVersionMessage(), "Fassung 2.1 (100%)");
}

// Whatever the script sends, one call is one line of the log, taken as text, not as a format.
TEST_F(PluginControllerTest, ScriptTextCannotBreakOrForgeLogLines) {
  const std::pair<std::string, std::string> rows[] = {
      {"done\nSMC: fan failed", "Debug message('done\\nSMC: fan failed')\n"},
      {"a\r\n\tb", "Debug message('a\\r\\n\\tb')\n"},
      {std::string("a\0\x1b[2J\x7f", 7), "Debug message('a\\x00\\x1b[2J\\x7f')\n"},
      {"42 \u00B0C 50% %s", "Debug message('42 \u00B0C 50% %s')\n"},
  };
  auto controller = makeController();
  for (const auto& [text, line] : rows) {
    ScopedLogCapture log;
    controller->logDebugString(text);
    EXPECT_EQ(log.lines(), std::vector<std::string>{line});
  }
}

}  // namespace
}  // namespace zor::testing

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "services/TestSupport.h"
#include "widget/ControllerFixture.h"

namespace zor::testing {
namespace {

class DisplayTextTest : public ControllerFixture {
 protected:
  // A controller over one sensor, shown at position 0.
  std::shared_ptr<PluginController> showingOnly(std::int32_t quantity, std::int32_t raw,
                                                const char* unit, double precision, double factor,
                                                std::int32_t unitIndex) {
    family.sensors.clear();
    add("s", "L", quantity, raw, unit, precision, factor);
    auto controller = makeController();
    controller->setWidgetIdentifier("W");
    controller->setTemperatureUnitIndex(unitIndex);
    return controller;
  }
};

TEST_F(DisplayTextTest, ReadingAndIconByQuantityPrecisionAndUnit) {
  fakes.bundle->tables["Localizable"]["F"] = "\u00b0F";
  // Quantity, raw value, unit, precision, factor, unit index; reading and icon shown.
  using Case = std::tuple<int, int, const char*, double, double, int, const char*, const char*>;
  const Case cases[] = {
      {1, 235, "C", 0.125, 0.1, 1, "   74.3\u00b0F", "TTemp"},  // 23.5 degrees in Fahrenheit
      {1, 0, "C", 0.1, 0, 2, "  273.1K", "TTemp"},
      {1, 0, "C", 1.0, 0, 2, "    273K", "TTemp"},         // precision 1.0: whole units
      {1, -525, "C", 0.01, 0.01, 0, "   -5.2C", "TTemp"},  // half to even, as printf
      {2, 12, "V", 0.001, 0, 2, "12.0000 V", "TElec"},     // the unit index is for temperatures
      {3, 2, "A", 0.01, 0, 0, "   2.00 A", "TElec"},
      {4, 5, "W", 0.01, 0, 0, "    5.0 W", "TElec"},
      {6, 900, "rpm", 0.1, 0, 0, "    900 rpm", "TFan"},
      {13, 2400, "MHz", 0.5, 0, 0, "   2400 MHz", "TFreq"},
      {0, 123456789, "x", 0.1, 0, 0, "123456789 x", "TUnkn"},  // wide numbers are not cut
      {1, -1, "C", 0.1, 0.1, 1, "---", "TTemp"},               // tested before converting
      {-1, -1, "C", 0.1, 0, 0, "---", "TNull"},
      {14, -1, "C", 0.1, 0, 0, "---", "TNull"},
  };
  for (const auto& [quantity, raw, unit, precision, factor, unitIndex, reading, icon] : cases) {
    auto controller = showingOnly(quantity, raw, unit, precision, factor, unitIndex);
    EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), reading);
    EXPECT_EQ(controller->relativePathForTypeIconAtDisplayIndex(0),
              std::string("Images/") + icon + ".png")
        << reading;
    EXPECT_EQ(std::static_pointer_cast<TestSensor>(family.sensors[0])->reads, 1) << reading;
  }
  ScopedEnvironment german("LANGUAGE", "de_DE.UTF-8");
  EXPECT_EQ(showingOnly(1, 235, "C", 0.125, 0.1, 1)->localizedReadingAtDisplayIndex(0),
            "   74,3\u00b0F");
}

// The fake measures 10 points per ASCII character and 5 per other character
// (the ellipsis among them). Every candidate measured is the whole name or a
// prefix of it cut between characters plus the ellipsis.
TEST_F(DisplayTextTest, NameShortening) {
  const std::tuple<const char*, float, std::optional<std::string>> cases[] = {
      {"Hello", 50.0f, "Hello"},
      {"Hello", 49.0f, "Hell\u2026"},
      {"Hello", 1.0f, "H\u2026"},
      {"", -5.0f, ""},
      {"W", 1.0f, std::nullopt},
      {"a\U0001F600b", 20.0f, "a\U0001F600\u2026"},  // U+1F600 is two UTF-16 units
      {"a\U0001F600b", 16.0f, "a\u2026"},
      {"\u00e9t\u00e9", 9.0f, "\u00e9\u2026"},
      {"ab\xFF", 24.0f, "a\u2026"},  // a malformed byte stays and counts as one character
      {"a\xFF\xFEz", 20.0f, "a\xFF\u2026"},
  };
  for (const auto& [name, width, expected] : cases) {
    SCOPED_TRACE(std::string(name) + " in " + std::to_string(width));
    auto controller = makeController();
    controller->setMaximumSensorNameWidth(width);
    fakes.measurer->measured.clear();
    EXPECT_EQ(controller->prunedSensorNameForName(name), expected);
    for (const std::string& text : fakes.measurer->measured) {
      const std::string kept = text.substr(0, text.find("\u2026"));
      EXPECT_TRUE(text == name || (text == kept + "\u2026" && std::string(name).starts_with(kept)))
          << text;
    }
  }
}

// Where a single character does not fit, the script gets it with the ellipsis.
TEST_F(DisplayTextTest, ScriptNeverGetsNoneForAName) {
  add("w", "W", 1);
  auto controller = makeController();
  controller->setWidgetIdentifier("W");
  controller->setMaximumSensorNameWidth(1.0f);
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(0), "W\u2026");
}

}  // namespace
}  // namespace zor::testing

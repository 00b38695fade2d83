#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "services/TestSupport.h"
#include "widget/ControllerFixture.h"

namespace zor {
namespace {

using testing::ControllerFixture;
using testing::TestSensor;

class DisplayTextTest : public ControllerFixture {
 protected:
  // A controller showing the first sensor at display index 0, in unit `unit`.
  std::shared_ptr<PluginController> showing(std::int32_t unit) {
    auto controller = makeController();
    controller->setWidgetIdentifier("W");
    controller->setTemperatureUnitIndex(unit);
    return controller;
  }
  // The only sensor, its raw value multiplied by `factor` (0: no converter).
  std::shared_ptr<TestSensor> only(std::int32_t quantity, std::int32_t raw, const char* unit,
                                   double precision, double factor) {
    family.sensors.clear();
    auto sensor = add("s", "L", quantity, raw, unit, precision);
    if (factor != 0) {
      sensor->converter = std::make_shared<ZORSensorValueConverter>();
      sensor->converter->setConversionFunctionType(1);
      sensor->converter->setLinearFactor(factor);
    }
    return sensor;
  }
};

TEST_F(DisplayTextTest, ReadingsByQuantityPrecisionAndUnit) {
  fakes.bundle->tables["Localizable"]["F"] = "\u00b0F";
  struct Case {
    const char* name;
    std::int32_t quantity, raw;
    const char* unit;
    double precision, factor;
    std::int32_t unitIndex;
    const char* expected;
  };
  const Case cases[] = {
      {"23.5 degrees in Fahrenheit", 1, 235, "C", 0.125, 0.1, 1, "   74.3\u00b0F"},
      {"celsius", 1, 23, "C", 0.1, 0, 0, "   23.0C"},
      {"kelvin of zero", 1, 0, "C", 0.1, 0, 2, "  273.1K"},
      {"kelvin whole units", 1, 0, "C", 1.0, 0, 2, "    273K"},
      {"half rounds to even like printf", 1, -525, "C", 0.01, 0.01, 0, "   -5.2C"},
      {"voltage four decimals", 2, 12, "V", 0.001, 0, 0, "12.0000 V"},
      {"current two decimals", 3, 2, "A", 0.01, 0, 0, "   2.00 A"},
      {"power one decimal", 4, 5, "W", 0.01, 0, 0, "    5.0 W"},
      {"fan speed no decimals", 6, 900, "rpm", 0.1, 0, 0, "    900 rpm"},
      {"quantity 7 one decimal", 7, 9, "%", 0.01, 0, 0, "    9.0 %"},
      {"frequency no decimals", 13, 2400, "MHz", 0.5, 0, 0, "   2400 MHz"},
      {"precision 1.0 wins over the type", 2, 12, "V", 1.0, 0, 0, "     12 V"},
      {"unit index only affects temperatures", 2, 3, "V", 0.1, 0, 2, " 3.0000 V"},
      {"wide numbers are not cut", 0, 123456789, "x", 0.1, 0, 0, "123456789 x"},
      {"no reading, tested before converting", 1, -1, "C", 0.1, 0.1, 1, "---"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto sensor = only(c.quantity, c.raw, c.unit, c.precision, c.factor);
    EXPECT_EQ(showing(c.unitIndex)->localizedReadingAtDisplayIndex(0), c.expected);
    EXPECT_EQ(sensor->reads, 1);
  }
  only(1, 235, "C", 0.125, 0.1);
  testing::ScopedEnvironment german("LANGUAGE", "de_DE.UTF-8");
  EXPECT_EQ(showing(1)->localizedReadingAtDisplayIndex(0), "   74,3\u00b0F");
}

TEST_F(DisplayTextTest, IconByQuantityType) {
  const char* icons[] = {"TUnkn",  "TTemp", "TElec", "TElec", "TElec", "TElec", "TFan", "TFan",
                         "TLight", "TLoad", "TNull", "TInfo", "TNull", "TFreq", "TNull"};
  for (std::int32_t quantity = -1; quantity < 15; ++quantity) {
    only(quantity, 0, "C", 0.1, 0);
    const std::string icon = quantity < 0 ? "TNull" : icons[quantity];
    EXPECT_EQ(showing(0)->relativePathForTypeIconAtDisplayIndex(0), "Images/" + icon + ".png")
        << quantity;
  }
}

TEST_F(DisplayTextTest, TextsGoThroughTheLocationTableThenTheDefaultTable) {
  fakes.bundle->tables["SensorLocations"]["A SMC CPU DIODE"] = "CPU A";
  fakes.bundle->tables["Localizable"]["CPU A"] = "Prozessor A";
  fakes.bundle->tables["Localizable"]["K"] = "kelvin";
  fakes.bundle->tables["Localizable"]["Done"] = "Fertig";
  add("a", "A SMC CPU DIODE", 1);
  add("b", "RAW KEY", 2, 0, "V");
  auto controller = showing(2);
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(0), "Prozessor A");
  EXPECT_EQ(controller->localizedDifferentiatingSensorNameAtIndex(1), "RAW KEY");
  EXPECT_EQ(controller->localizedSensorNameAtIndex(2), "");
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(0), "kelvin");
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(1), "V");
  EXPECT_EQ(controller->localizedStringForElementWithName("Done"), "Fertig");
  EXPECT_EQ(controller->localizedStringForElementWithName("Missing"), "Missing");
}

// The fake measures 10 points per ASCII character and 5 per other character
// (the ellipsis "\u2026" among them). Every candidate measured is a prefix of
// the name, cut between characters, plus the ellipsis.
TEST_F(DisplayTextTest, NameShortening) {
  const std::tuple<const char*, float, std::optional<std::string>> cases[] = {
      {"Hello", 50.0f, "Hello"},
      {"Hello", 49.0f, "Hell\u2026"},
      {"Hello", 1.0f, "H\u2026"},
      {"", -5.0f, ""},
      {"W", 1.0f, std::nullopt},
      {"a\U0001F600b", 20.0f, "a\U0001F600\u2026"},  // U+1F600 is two UTF-16 units
      {"a\U0001F600b", 16.0f, "a\u2026"},
      {"\U0001F600", 1.0f, std::nullopt},
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
      EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << "a split character: " << text;
    }
    EXPECT_EQ(fakes.measurer->lastFont.name, "Lucida Grande");
    EXPECT_EQ(fakes.measurer->lastFont.pointSize, 10.0f);
  }
}

TEST_F(DisplayTextTest, ScriptNeverGetsNoneForAName) {
  add("w", "W", 1);
  add("e", "\U0001F600", 2);
  auto controller = showing(0);
  controller->setMaximumSensorNameWidth(1.0f);
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(0), "W\u2026");
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(1), "\U0001F600\u2026");
}

}  // namespace
}  // namespace zor

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "widget/ControllerFixture.h"

namespace zor {
namespace {

using testing::ControllerFixture;
using testing::TestSensor;

// Sets an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class DisplayTextTest : public ControllerFixture {
 protected:
  // A controller showing `sensor` at display index 0 with unit index `unit`.
  std::shared_ptr<PluginController> showing(std::int32_t unit) {
    auto controller = makeController();
    controller->setWidgetIdentifier("W");
    controller->setTemperatureUnitIndex(unit);
    return controller;
  }
  static std::shared_ptr<ZORSensorValueConverter> linear(double factor) {
    auto converter = std::make_shared<ZORSensorValueConverter>();
    converter->setConversionFunctionType(1);
    converter->setLinearFactor(factor);
    return converter;
  }
};

TEST_F(DisplayTextTest, TemperatureInFahrenheitAsTheWidgetShowsIt) {
  fakes.bundle->tables["Localizable"]["F"] = "\u00b0F";
  auto sensor = add("t", "CPU", 1, 235, "C", 0.125);
  sensor->converter = linear(0.1);
  auto controller = showing(1);
  EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), "   74.3\u00b0F");
  EXPECT_EQ(sensor->reads, 1);

  ScopedEnvironment german("LANGUAGE", "de_DE.UTF-8");
  EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), "   74,3\u00b0F");
}

TEST_F(DisplayTextTest, ReadingsByQuantityPrecisionAndUnit) {
  struct Case {
    const char* name;
    std::int32_t quantity;
    const char* unit;
    std::int32_t raw;
    double precision;
    std::int32_t unitIndex;
    const char* expected;
  };
  const Case cases[] = {
      {"celsius", 1, "C", 23, 0.1, 0, "   23.0C"},
      {"fahrenheit of zero", 1, "C", 0, 0.1, 1, "   32.0F"},
      {"kelvin of zero", 1, "C", 0, 0.1, 2, "  273.1K"},
      {"kelvin whole units", 1, "C", 0, 1.0, 2, "    273K"},
      {"half rounds to even like printf", 1, "C", -525, 0.01, 0, "   -5.2C"},
      {"voltage four decimals", 2, "V", 12, 0.001, 0, "12.0000 V"},
      {"current two decimals", 3, "A", 2, 0.01, 0, "   2.00 A"},
      {"frequency no decimals", 13, "MHz", 2400, 0.5, 0, "   2400 MHz"},
      {"precision 1.0 wins over the type", 2, "V", 12, 1.0, 0, "     12 V"},
      {"unit index only affects temperatures", 2, "V", 3, 0.1, 2, " 3.0000 V"},
      {"wide numbers are not cut", 0, "x", 123456789, 0.1, 0, "123456789 x"},
      {"no reading", 1, "C", -1, 0.1, 1, "---"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    family.sensors.clear();
    auto sensor = add("s", "L", c.quantity, c.raw, c.unit, c.precision);
    // Whole readings, except the rounding case in hundredths.
    if (c.precision == 0.01 && c.quantity == 1) sensor->converter = linear(0.01);
    auto controller = showing(c.unitIndex);
    EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), c.expected);
  }
}

TEST_F(DisplayTextTest, NoReadingSkipsTheConverter) {
  auto sensor = add("s", "L", 1, -1, "C", 0.1);
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(3);  // would turn -1 into 101
  sensor->converter = converter;
  auto controller = showing(0);
  EXPECT_EQ(controller->localizedReadingAtDisplayIndex(0), "---");
  EXPECT_EQ(controller->localizedReadingForSensorAtIndex(0, 5), "   95.0C")
      << "a reading taken elsewhere";
  EXPECT_EQ(sensor->reads, 1);
}

TEST_F(DisplayTextTest, DisplayIndexOutOfRange) {
  add("s", "L", 1, 20);
  auto controller = showing(0);
  for (std::int32_t displayIndex : {2, -1, INT32_MIN}) {
    EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(displayIndex), "");
    EXPECT_EQ(controller->localizedReadingAtDisplayIndex(displayIndex), "");
    EXPECT_EQ(controller->relativePathForTypeIconAtDisplayIndex(displayIndex), "Images/TNull.png");
  }
  EXPECT_EQ(controller->localizedReadingAtDisplayIndex(1), "") << "position 2 holds no sensor";
  EXPECT_EQ(controller->localizedReadingForSensorAtIndex(1), "");
}

TEST_F(DisplayTextTest, IconByQuantityType) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "Images/TUnkn.png"},  {1, "Images/TTemp.png"},  {2, "Images/TElec.png"},
      {3, "Images/TElec.png"},  {4, "Images/TElec.png"},  {5, "Images/TElec.png"},
      {6, "Images/TFan.png"},   {7, "Images/TFan.png"},   {8, "Images/TLight.png"},
      {9, "Images/TLoad.png"},  {10, "Images/TNull.png"}, {11, "Images/TInfo.png"},
      {12, "Images/TNull.png"}, {13, "Images/TFreq.png"}, {14, "Images/TNull.png"},
      {-1, "Images/TNull.png"}};
  for (const auto& [quantity, icon] : cases) {
    SCOPED_TRACE(quantity);
    family.sensors.clear();
    add("s", "L", quantity);
    EXPECT_EQ(showing(0)->relativePathForTypeIconAtDisplayIndex(0), icon);
  }
}

TEST_F(DisplayTextTest, FormatTagByQuantityType) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 0}, {1, 1},  {2, 4},  {3, 2},
                                                         {4, 1}, {5, 0},  {6, 0},  {7, 1},
                                                         {8, 0}, {13, 0}, {-1, 0}, {99, 0}};
  for (const auto& [quantity, tag] : cases) {
    EXPECT_EQ(PluginController::defaultFormatTagForQuantityType(quantity), tag) << quantity;
  }
}

TEST_F(DisplayTextTest, NamesGoThroughTheLocationTableThenTheDefaultTable) {
  fakes.bundle->tables["SensorLocations"]["A SMC CPU DIODE"] = "CPU A";
  fakes.bundle->tables["Localizable"]["CPU A"] = "Prozessor A";
  add("a", "A SMC CPU DIODE", 1);
  add("b", "RAW KEY", 1);
  auto controller = showing(0);
  EXPECT_EQ(controller->localizedSensorNameAtIndex(0), "Prozessor A");
  EXPECT_EQ(controller->localizedSensorNameAtIndex(1), "RAW KEY")
      << "a missing entry shows its key";
  EXPECT_EQ(controller->localizedDifferentiatingSensorNameAtIndex(1), "RAW KEY");
  EXPECT_EQ(controller->localizedSensorNameAtIndex(2), "");
  EXPECT_EQ(controller->localizedSensorNameAtIndex(-1), "");
  EXPECT_EQ(controller->localizedSensorNameAtDisplayIndex(0), "Prozessor A");
}

TEST_F(DisplayTextTest, UnitsFollowTheTemperatureChoice) {
  fakes.bundle->tables["Localizable"]["K"] = "kelvin";
  add("t", "A", 1, 0, "C");
  add("v", "B", 2, 0, "V");
  auto controller = showing(0);
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(0), "C");
  controller->setTemperatureUnitIndex(1);
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(0), "F");
  controller->setTemperatureUnitIndex(2);
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(0), "kelvin");
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(1), "V");
  EXPECT_EQ(controller->localizedSensorUnitAtIndex(2), "");
}

TEST_F(DisplayTextTest, ElementTexts) {
  fakes.bundle->tables["Localizable"]["Done"] = "Fertig";
  auto controller = makeController();
  EXPECT_EQ(controller->localizedStringForElementWithName("Done"), "Fertig");
  EXPECT_EQ(controller->localizedStringForElementWithName("Missing"), "Missing");
  EXPECT_EQ(controller->localizedStringForElementWithName(""), "");
}

// The fake measures 10 points per ASCII character and 5 per other character
// (the ellipsis "\u2026" among them).
TEST_F(DisplayTextTest, NameShortening) {
  struct Case {
    const char* name;
    float maxWidth;
    std::optional<std::string> expected;
    int measurements;
  };
  const Case cases[] = {
      {"Hello", 1000.0f, "Hello", 1},
      {"Hello", 50.0f, "Hello", 1},
      {"Hello", 49.0f, "Hell\u2026", 2},
      {"Hello", 1.0f, "H\u2026", 5},
      {"", -5.0f, "", 1},
      {"W", 1.0f, std::nullopt, 1},
      // "a", U+1F600 (two UTF-16 units), "b": 25 points.
      {"a\U0001F600b", 20.0f, "a\U0001F600\u2026", 2},
      {"a\U0001F600b", 16.0f, "a\u2026", 3},
      {"\U0001F600", 1.0f, std::nullopt, 1},
      {"\u00e9t\u00e9", 9.0f, "\u00e9\u2026", 3},
      // A malformed byte stays as it is and counts as one character.
      {"ab\xFF", 24.0f, "a\u2026", 3},
      {"a\xFF\xFEz", 20.0f, "a\xFF\u2026", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.maxWidth));
    auto controller = makeController();
    controller->setMaximumSensorNameWidth(c.maxWidth);
    fakes.measurer->measurements = 0;
    fakes.measurer->measured.clear();
    EXPECT_EQ(controller->prunedSensorNameForName(c.name), c.expected);
    EXPECT_EQ(fakes.measurer->measurements, c.measurements);
    for (const std::string& text : fakes.measurer->measured) {
      EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos)
          << "a candidate split a character: " << text;
      const std::string name = c.name, ellipsis = "\u2026";
      bool isName = text == name;
      bool isCut = text.size() >= ellipsis.size() && text.ends_with(ellipsis) &&
                   name.starts_with(text.substr(0, text.size() - ellipsis.size()));
      EXPECT_TRUE(isName || isCut) << "every candidate is a prefix of the name: " << text;
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

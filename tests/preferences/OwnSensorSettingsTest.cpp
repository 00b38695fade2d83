// Own sensor names and limits in a real preferences folder: stored beside the
// widget's own keys without disturbing them, refused when they would break
// the label or the file, and shown in place of the originals.

#include <gtest/gtest.h>

#include "preferences/PreferencesFixture.h"
#include "widget/OwnSensorOperations.h"
#include "widget/OwnSensorSettings.h"

namespace zor::testing {
namespace {

using Ops = OwnSensorOperations;

// A sensor whose hardware publishes limits.
struct LimitedSensor : TestSensor {
  SensorLimits hardwareLimits() const override { return limits; }
  SensorLimits limits;
};

class OwnSensorSettingsTest : public PreferencesFixture {
 protected:
  // Sorted: temperatures "core" (CPU), "pump" (hardware limits 80/100), then the voltage "rail".
  OwnSensorSettingsTest() {
    auto pump = std::make_shared<LimitedSensor>();
    *static_cast<TestSensor*>(pump.get()) = *TestSensor::make("pump", "Pump", 1);
    pump->limits = {80.0, 100.0};
    family_.sensors = {TestSensor::make("core", "CPU", 1),
                       TestSensor::make("rail", "Rail", 2, 0, "V", 0.001), pump};
  }
};

// A file written with own names and limits keeps the widget's keys as they
// were, and keys of other versions stay; the widget's own writes keep ours.
TEST_F(OwnSensorSettingsTest, OwnKeysLiveBesideTheWidgetsKeys) {
  PlistDictionary machine{{"A:SensorIDForDisplayPosition1", text("pump")},
                          {"A:SensorIDForDisplayPosition2", text("rail")},
                          {"FromANewerVersion", number(7)}};
  PlistDictionary expected{{"IndexOfTemperatureUnit", number(1)},
                           {"Unrelated", text("kept")},
                           {kSerial, PlistValue(machine)}};
  write(expected);
  auto widget = controller("A");  // reads Fahrenheit; writes nothing, both positions are set
  EXPECT_EQ(Ops::setOwnSensorNameAtIndex(*widget, 0, "Water"), "");
  EXPECT_EQ(Ops::setOwnSensorLimitAtIndex(*widget, 1, "104"), "");  // Fahrenheit: 40 degrees
  PlistDictionary withOwn = machine;
  withOwn[OwnSensorSettings::kNamesKey] = PlistValue(PlistDictionary{{"core", text("Water")}});
  withOwn[OwnSensorSettings::kLimitsKey] =
      PlistValue(PlistDictionary{{"pump", PlistValue::real(40.0)}});
  expected[kSerial] = PlistValue(withOwn);
  EXPECT_EQ(written(), expected);

  // The widget reads its choices as before and keeps our keys when it writes.
  auto again = controller("A");
  EXPECT_EQ(again->preferredSensorIndexAtDisplayIndex(0), 1);
  EXPECT_EQ(again->preferredSensorIndexAtDisplayIndex(1), 2);
  EXPECT_EQ(again->preferredTemperatureUnitIndex(), 1);
  again->setTemperatureUnitIndex(0);
  expected["IndexOfTemperatureUnit"] = number(0);
  withOwn["A:LastUsed"] = machine["A:LastUsed"] = kUsedNow;  // a choice stamps its instance
  expected[kSerial] = PlistValue(withOwn);
  EXPECT_EQ(written(), expected);

  // Giving back the original name and removing the limit leave no key of ours.
  EXPECT_EQ(Ops::setOwnSensorNameAtIndex(*again, 0, ""), "");
  EXPECT_EQ(Ops::setOwnSensorLimitAtIndex(*again, 1, " "), "");
  expected[kSerial] = PlistValue(machine);
  EXPECT_EQ(written(), expected);
}

// What a person types, the answer, and what another widget then shows for the
// sensor: "own name|name|limit|critical limit|own limit" (nothing stored when refused).
TEST_F(OwnSensorSettingsTest, WhatIsTypedIsStoredOrRefused) {
  // Unit index, sensor index, whether a limit (else a name) is typed, the text typed.
  using Case = std::tuple<int, int, bool, std::string, const char*, const char*>;
  const Case cases[] = {
      {0, 1, false, " Pump 1 ", "", "Pump 1|Pump 1|   80.0C|  100.0C|"},
      {0, 1, false, "Pump", "", "|Pump|   80.0C|  100.0C|"},  // the original is no own name
      {0, 0, false, std::string(10000, 'x'), "A name can have at most 64 characters.", "|CPU|||"},
      {0, 3, false, "x", "There is no such sensor.", "||||"},
      // An own limit takes the hardware's place, not its critical one.
      {1, 1, true, "150,8", "", "|Pump|  150.8F|  212.0F|150.8"},
      {2, 0, true, "353.15", "", "|CPU|  353.1K||353.15"},
      {2, 0, true, "-1", "A temperature limit cannot be below absolute zero.", "|CPU|||"},
      {1, 2, true, "12.6", "", "|Rail|12.6000 V||12.6"},  // not a temperature: its own unit
  };
  for (const auto& [unit, index, isLimit, typed, answer, shown] : cases) {
    SCOPED_TRACE(typed.substr(0, 20));
    write(std::nullopt);
    auto widget = controller();
    widget->setTemperatureUnitIndex(unit);
    EXPECT_EQ(isLimit ? Ops::setOwnSensorLimitAtIndex(*widget, index, typed)
                      : Ops::setOwnSensorNameAtIndex(*widget, index, typed),
              answer);
    auto fresh = controller();
    fresh->setTemperatureUnitIndex(unit);
    EXPECT_EQ(Ops::ownSensorNameAtIndex(*fresh, index) + "|" +
                  Ops::shownSensorNameAtIndex(*fresh, index) + "|" +
                  Ops::sensorLimitAtIndex(*fresh, index) + "|" +
                  Ops::criticalSensorLimitAtIndex(*fresh, index) + "|" +
                  Ops::ownSensorLimitAtIndex(*fresh, index),
              shown);
  }
}

// A hand-edited file cannot put what a person could not type on a label.
TEST_F(OwnSensorSettingsTest, StoredSettingsThatBreakTheRulesAreLeftOut) {
  using Case =
      std::tuple<PlistValue, PlistValue, std::optional<std::string>, std::optional<double>>;
  const Case cases[] = {
      {text("Pump"), number(70), "Pump", 70.0},
      {text("P\x1bump"), number(70), std::nullopt, 70.0},
      {number(3), text("70"), std::nullopt, std::nullopt},
      {text(""), PlistValue::real(1e300), std::nullopt, std::nullopt},
      {text("Pump"), PlistValue::boolean(true), "Pump", std::nullopt},  // a flag is no limit
  };
  for (const auto& [name, limit, shownName, shownLimit] : cases) {
    const auto own = [](const PlistValue& value) { return PlistDictionary{{"core", value}}; };
    write(PlistDictionary{{kSerial, PlistDictionary{{OwnSensorSettings::kNamesKey, own(name)},
                                                    {OwnSensorSettings::kLimitsKey, own(limit)}}}});
    OwnSensorSettings settings = OwnSensorSettings::load(kSerial);
    EXPECT_EQ(settings.name("core"), shownName);
    EXPECT_EQ(settings.limit("core"), shownLimit);
  }
}

TEST_F(OwnSensorSettingsTest, TheFrontShortensOwnNamesLikeAnyName) {
  auto widget = controller("A");
  ASSERT_EQ(Ops::setOwnSensorNameAtIndex(*widget, 0, "Coolant loop"), "");
  widget->setMaximumSensorNameWidth(45.0f);  // the fake: ten points a letter, five the ellipsis
  EXPECT_EQ(Ops::shownSensorNameAtDisplayIndex(*widget, 0), "Cool\u2026");
  EXPECT_EQ(Ops::shownSensorNameAtDisplayIndex(*widget, 2), "");
  EXPECT_EQ(widget->localizedSensorNameAtDisplayIndex(0), "CPU") << "the seventeen as before";
}

}  // namespace
}  // namespace zor::testing

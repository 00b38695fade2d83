// Own sensor names and limits in a real preferences folder: stored beside the
// widget's own keys without disturbing them, refused when they would break
// the label or the file, and shown in place of the originals.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/PropertyListSerialization.h"
#include "platform/UserDefaults.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "services/TestSupport.h"
#include "system/SystemTestMachine.h"
#include "widget/OwnSensorOperations.h"
#include "widget/OwnSensorSettings.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {
namespace {

constexpr const char* kDomain = "org.test.widget";
constexpr const char* kSerial = "W89201ZX1AQ";
using Ops = OwnSensorOperations;

// A sensor whose hardware publishes limits.
class LimitedSensor : public TestSensor {
 public:
  SensorLimits hardwareLimits() const override { return limits; }
  SensorLimits limits;
};

class OwnSensorSettingsTest : public ::testing::Test {
 protected:
  OwnSensorSettingsTest()
      : machine_(profileWithServices({entry("IOPlatformExpertDevice", "Expert",
                                            {{"IOPlatformSerialNumber", text(kSerial)}})})) {
    fakes_.bundle->info["CFBundleIdentifier"] = kDomain;
    UserDefaults::setPreferencesDirectory(folder_.path());
    // Sorted: temperatures "core" (CPU), "pump" (hardware limits 80/100), then the voltage "rail".
    family_.sensors = {TestSensor::make("core", "CPU", 1),
                       TestSensor::make("rail", "Rail", 2, 0, "V", 0.001),
                       limited("pump", "Pump", {80.0, 100.0})};
    ZORSensor::registerSensorClass(family_.object);
  }
  ~OwnSensorSettingsTest() override { UserDefaults::setPreferencesDirectory(""); }

  static std::shared_ptr<LimitedSensor> limited(const char* id, const char* location,
                                                SensorLimits limits) {
    auto sensor = std::make_shared<LimitedSensor>();
    *static_cast<TestSensor*>(sensor.get()) = *TestSensor::make(id, location, 1);
    sensor->limits = limits;
    return sensor;
  }
  std::shared_ptr<PluginController> controller() {
    auto made = std::make_shared<PluginController>();
    EXPECT_TRUE(made->init());
    return made;
  }
  std::string path() const { return folder_.file(std::string(kDomain) + ".plist"); }
  void write(const PlistDictionary& contents) {
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(contents), PlistFormat::XML));
  }
  PlistDictionary stored() const {
    auto value = readPropertyListFile(path());
    return value && value->asDictionary() ? *value->asDictionary() : PlistDictionary();
  }
  static std::string xml(const PlistDictionary& contents) {
    return serializePropertyList(PlistValue(contents), PlistFormat::XML);
  }
  PlistDictionary machineEntry() const {
    PlistDictionary all = stored();
    auto found = all.find(kSerial);
    return found != all.end() && found->second.asDictionary() ? *found->second.asDictionary()
                                                              : PlistDictionary();
  }

  ScopedTempDirectory folder_;
  ScopedSensorClassRegistry registryScope_;
  ScopedWidgetFakes fakes_;
  TestFamily family_{"ZORTestFamily"};
  InstalledMachine machine_;
};

// A file written with own names and limits keeps the widget's keys as they
// were, and keys of other versions stay; the widget's own writes keep ours.
TEST_F(OwnSensorSettingsTest, OwnKeysLiveBesideTheWidgetsKeys) {
  const PlistDictionary machineBefore{{"A:SensorIDForDisplayPosition1", text("pump")},
                                      {"A:SensorIDForDisplayPosition2", text("rail")},
                                      {"FromANewerVersion", number(7)}};
  const PlistDictionary before{{"IndexOfTemperatureUnit", number(1)},
                               {"Unrelated", text("kept")},
                               {kSerial, PlistValue(machineBefore)}};
  write(before);
  auto widget = controller();
  widget->setWidgetIdentifier("A");  // reads Fahrenheit; writes nothing, both positions are set
  EXPECT_EQ(Ops::setOwnSensorNameAtIndex(*widget, 0, "Water"), "");
  EXPECT_EQ(Ops::setOwnSensorLimitAtIndex(*widget, 1, "104"), "");  // Fahrenheit: 40 degrees

  PlistDictionary expected = before;
  PlistDictionary machine = machineBefore;
  machine[OwnSensorSettings::kNamesKey] = PlistValue(PlistDictionary{{"core", text("Water")}});
  machine[OwnSensorSettings::kLimitsKey] =
      PlistValue(PlistDictionary{{"pump", PlistValue::real(40.0)}});
  expected[kSerial] = PlistValue(machine);
  EXPECT_EQ(xml(stored()), xml(expected));

  // The widget reads its choices as before and keeps our keys when it writes.
  auto again = controller();
  again->setWidgetIdentifier("A");
  EXPECT_EQ(again->preferredSensorIndexAtDisplayIndex(0), 1);
  EXPECT_EQ(again->preferredSensorIndexAtDisplayIndex(1), 2);
  EXPECT_EQ(again->preferredTemperatureUnitIndex(), 1);
  again->setTemperatureUnitIndex(0);
  expected["IndexOfTemperatureUnit"] = number(0);
  // A choice stamps its instance as used, so the least recently used can be forgotten.
  PlistDictionary now = stored();
  const PlistValue* stamp = now[kSerial].find("A:LastUsed");
  ASSERT_NE(stamp, nullptr);
  machine["A:LastUsed"] = *stamp;
  expected[kSerial] = PlistValue(machine);
  EXPECT_EQ(xml(stored()), xml(expected));

  // Giving back the original name and removing the limit leave no key of ours.
  EXPECT_EQ(Ops::setOwnSensorNameAtIndex(*again, 0, ""), "");
  EXPECT_EQ(Ops::setOwnSensorLimitAtIndex(*again, 1, " "), "");
  PlistDictionary machineAfter = machineBefore;
  machineAfter["A:LastUsed"] = machine["A:LastUsed"];
  expected[kSerial] = PlistValue(machineAfter);
  EXPECT_EQ(xml(stored()), xml(expected));
}

// What a person types, what is answered, and what is stored and shown.
TEST_F(OwnSensorSettingsTest, WhatIsTypedIsStoredOrRefused) {
  struct Case {
    const char* what;
    std::int32_t unit;
    std::function<std::string(PluginController&)> type;
    std::string answer;
    PlistDictionary names, limits;  // as stored afterwards
    std::int32_t shownIndex;
    std::string shownName, limit, critical, ownLimit;
  };
  using PD = PlistDictionary;
  const auto real = [](double v) { return PlistValue::real(v); };
  const Case cases[] = {
      {"a name",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 1, " Pump 1 "); },
       "",
       PD{{"pump", text("Pump 1")}},
       {},
       1,
       "Pump 1",
       "   80.0C",
       "  100.0C",
       ""},
      {"the original name is no own name",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 1, "Pump"); },
       "",
       {},
       {},
       1,
       "Pump",
       "   80.0C",
       "  100.0C",
       ""},
      {"a name of 10,000 characters",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 0, std::string(10000, 'x')); },
       "A name can have at most 64 characters.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"control characters",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 0, "a\tb"); },
       "A name cannot contain control characters.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"invalid UTF-8",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 0, "\xC3("); },
       "A name must be UTF-8 text.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"no such sensor",
       0,
       [](auto& c) { return Ops::setOwnSensorNameAtIndex(c, 3, "x"); },
       "There is no such sensor.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"a limit that is not a number",
       0,
       [](auto& c) { return Ops::setOwnSensorLimitAtIndex(c, 0, "hot"); },
       "The limit must be a number.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"an own limit takes the hardware's place, not its critical one",
       1,
       [](auto& c) { return Ops::setOwnSensorLimitAtIndex(c, 1, "150,8"); },
       "",
       {},
       PD{{"pump", real(66.0)}},
       1,
       "Pump",
       "  150.8F",
       "  212.0F",
       "150.8"},
      {"Kelvin",
       2,
       [](auto& c) { return Ops::setOwnSensorLimitAtIndex(c, 0, "353.15"); },
       "",
       {},
       PD{{"core", real(80.0)}},
       0,
       "CPU",
       "  353.1K",
       "",
       "353.15"},
      {"below absolute zero",
       2,
       [](auto& c) { return Ops::setOwnSensorLimitAtIndex(c, 0, "-1"); },
       "A temperature limit cannot be below absolute zero.",
       {},
       {},
       0,
       "CPU",
       "",
       "",
       ""},
      {"other quantities keep their unit",
       1,
       [](auto& c) { return Ops::setOwnSensorLimitAtIndex(c, 2, "12.6"); },
       "",
       {},
       PD{{"rail", real(12.6)}},
       2,
       "Rail",
       "12.6000 V",
       "",
       "12.6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path());
    auto widget = controller();
    widget->setTemperatureUnitIndex(c.unit);
    EXPECT_EQ(c.type(*widget), c.answer);
    const PlistDictionary machine = machineEntry();
    auto storedUnder = [&](const char* key) {
      auto found = machine.find(key);
      return found != machine.end() && found->second.asDictionary() ? *found->second.asDictionary()
                                                                    : PlistDictionary();
    };
    EXPECT_EQ(storedUnder(OwnSensorSettings::kNamesKey), c.names);
    EXPECT_EQ(storedUnder(OwnSensorSettings::kLimitsKey), c.limits);
    auto fresh = controller();  // another widget sees the same
    fresh->setTemperatureUnitIndex(c.unit);
    EXPECT_EQ(Ops::shownSensorNameAtIndex(*fresh, c.shownIndex), c.shownName);
    EXPECT_EQ(Ops::sensorLimitAtIndex(*fresh, c.shownIndex), c.limit);
    EXPECT_EQ(Ops::criticalSensorLimitAtIndex(*fresh, c.shownIndex), c.critical);
    EXPECT_EQ(Ops::ownSensorLimitAtIndex(*fresh, c.shownIndex), c.ownLimit);
  }
}

// A hand-edited file cannot put what a person could not type on a label.
TEST_F(OwnSensorSettingsTest, StoredSettingsThatBreakTheRulesAreLeftOut) {
  struct Case {
    const char* what;
    PlistValue name, limit;
    std::optional<std::string> shownName;
    std::optional<double> shownLimit;
  };
  const Case cases[] = {
      {"well-formed", text("Pump"), PlistValue::real(70.5), "Pump", 70.5},
      {"an integer limit", text("Pump"), number(70), "Pump", 70.0},
      {"a control character", text("P\x1bump"), number(70), std::nullopt, 70.0},
      {"too long", text(std::string(65, 'p')), number(70), std::nullopt, 70.0},
      {"wrong types", number(3), text("70"), std::nullopt, std::nullopt},
      {"a limit out of range", text(""), PlistValue::real(1e300), std::nullopt, std::nullopt},
      {"a flag is no limit", text("Pump"), PlistValue::boolean(true), "Pump", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write(
        {{kSerial,
          PlistValue(PlistDictionary{
              {OwnSensorSettings::kNamesKey, PlistValue(PlistDictionary{{"core", c.name}})},
              {OwnSensorSettings::kLimitsKey, PlistValue(PlistDictionary{{"core", c.limit}})}})}});
    OwnSensorSettings settings = OwnSensorSettings::load(kSerial);
    EXPECT_EQ(settings.name("core"), c.shownName);
    EXPECT_EQ(settings.limit("core"), c.shownLimit);
  }
}

TEST_F(OwnSensorSettingsTest, TheFrontShortensOwnNamesLikeAnyName) {
  auto widget = controller();
  widget->setWidgetIdentifier("A");
  ASSERT_EQ(Ops::setOwnSensorNameAtIndex(*widget, 0, "Coolant loop"), "");
  // The fake measures ten points per ASCII character and five for the ellipsis.
  for (auto [width, shown] : {std::pair{1000.0f, "Coolant loop"}, std::pair{45.0f, "Cool\u2026"}}) {
    widget->setMaximumSensorNameWidth(width);
    EXPECT_EQ(Ops::shownSensorNameAtDisplayIndex(*widget, 0), shown);
  }
  EXPECT_EQ(Ops::shownSensorNameAtDisplayIndex(*widget, 2), "");
  EXPECT_EQ(widget->localizedSensorNameAtDisplayIndex(0), "CPU")
      << "the seventeen answer as before";
}

}  // namespace
}  // namespace zor::testing

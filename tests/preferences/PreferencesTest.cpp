// The widget's stored choices, end to end: which positions and unit an
// instance starts with, and what each choice writes to the file.

#include <gtest/gtest.h>

#include "platform/SystemLog.h"
#include "preferences/PreferencesFixture.h"
#include "widget/StoredInstances.h"

namespace zor::testing {
namespace {

constexpr const char* kUnit = "IndexOfTemperatureUnit";
constexpr const char* kID1 = "A:SensorIDForDisplayPosition1";
constexpr const char* kID2 = "A:SensorIDForDisplayPosition2";
constexpr const char* kIndex1 = "A:SensorIndexForDisplayPosition1";

// Instance A's two stored identifiers and its last use, with other keys of this machine's entry.
PlistDictionary ids(const char* first, const char* second, PlistDictionary others = {}) {
  others[kID1] = text(first);
  others[kID2] = text(second);
  others["A:LastUsed"] = kUsedNow;
  return others;
}

// A preferences file: this machine's entry, the shared unit when given, other top-level keys.
PlistDictionary file(std::optional<std::int64_t> unit, PlistDictionary machine,
                     PlistDictionary top = {}) {
  top[kSerial] = PlistValue(std::move(machine));
  if (unit) top[kUnit] = number(*unit);
  return top;
}

class PreferencesTest : public PreferencesFixture {
 protected:
  // Sensors "s0", "s1", ... in this sorted order; a fresh folder holding `contents`.
  void start(int sensors, const std::optional<PlistDictionary>& contents) {
    family_.sensors.clear();
    for (int i = 0; i < sensors; ++i) {
      family_.sensors.push_back(
          TestSensor::make("s" + std::to_string(i), "L" + std::to_string(i), 1));
    }
    write(contents);
  }
};

// What instance A chooses when it starts on a file as it stands, and the whole
// file afterwards: only defaults it had to assign are written.
TEST_F(PreferencesTest, StartChoosesFromTheFileAndStoresOnlyWhatItAssigned) {
  using Case = std::tuple<int, std::optional<PlistDictionary>, std::int32_t, std::int32_t,
                          std::int32_t, std::optional<PlistDictionary>>;
  const PlistDictionary others{{"Unrelated", text("kept")}, {"OTHER", ids("x", "y")}};
  const Case cases[] = {
      {3, {}, 0, 1, 0, file(0, ids("s0", "s1"))},  // first run
      {1, {}, 0, -1, 0, file(0, ids("s0", ""))},
      {0, {}, -1, -1, 0, {}},
      {4, file({}, ids("s3", "s0")), 3, 0, 0, {}},
      {3, file({}, ids("", "s2")), -1, 2, 0, {}},           // one stored position is enough
      {5, file({}, {{kIndex1, number(3)}}), 3, -1, 0, {}},  // the older index key
      {5, file({}, {{kID1, text("s1")}, {kIndex1, number(3)}}), 1, -1, 0, {}},
      {5, file({}, {{kIndex1, number(5)}, {kID2, text("s4")}}), -1, 4, 0, {}},
      {5, file({}, {{kIndex1, number(-2)}, {kID2, text("s4")}}), -1, 4, 0, {}},
      // The unit: at the top level, else in this machine's entry where older versions kept it.
      {2, file({}, {{kUnit, number(1)}}), 0, 1, 1, file(1, ids("s0", "s1", {{kUnit, number(1)}}))},
      {2, file({}, {{kUnit, number(5)}}), 0, 1, 0, file(0, ids("s0", "s1", {{kUnit, number(5)}}))},
      {2, file(2, {{kUnit, number(1)}, {kID1, text("s1")}}), 1, -1, 2, {}},
      {2, PlistDictionary{{kUnit, number(2)}}, 0, 1, 0, file(0, ids("s0", "s1"))},
      {2, PlistDictionary{{kSerial, text("x")}, {kUnit, number(1)}}, 0, 1, 0,
       file(0, ids("s0", "s1"))},
      {2, file({}, {{"Note", number(42)}}, others), 0, 1, 0,
       file(0, ids("s0", "s1", {{"Note", number(42)}}), others)},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [sensors, before, first, second, unit, after] = cases[i];
    SCOPED_TRACE(i);
    start(sensors, before);
    auto widget = controller("A");
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), first);
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), second);
    EXPECT_EQ(widget->preferredTemperatureUnitIndex(), unit);
    EXPECT_EQ(written(), after);
  }
}

// What a choice writes, starting from a file as it stands: this instance's
// positions (the older index keys replaced, another instance's kept), and the
// unit, at the top level, only when the unit is what was chosen. A choice out
// of range (sensor indices below -1 or past the last, positions other than 0
// and 1, units other than 0 to 2) writes nothing.
TEST_F(PreferencesTest, ChoicesRewriteThisInstancesKeys) {
  const PlistDictionary olderB{{"B:SensorIndexForDisplayPosition1", number(4)}};
  const PlistDictionary both = file({}, ids("s1", "s2"));  // starting writes nothing
  constexpr int kUnitChoice = 9;
  // The file before, whether the instance has its identifier, the position chosen for
  // (or the unit), the choice, the file afterwards.
  using Case = std::tuple<PlistDictionary, bool, int, int, std::optional<PlistDictionary>>;
  std::vector<Case> cases = {
      {file({}, {{kIndex1, number(3)}, {"B:SensorIndexForDisplayPosition1", number(4)}}), true,
       kUnitChoice, 1, file(1, ids("s3", "", olderB))},
      {file({}, ids("gone", "s2")), true, 1, 1, file({}, ids("", "s1"))},
      {file({}, {{kID1, text("s1")}}), true, kUnitChoice, 2, file(2, ids("s1", ""))},
      {file({}, {}), false, 0, 1,  // before the identifier the plain keys are used
       file({}, {{"SensorIDForDisplayPosition1", text("s1")},
                 {"SensorIDForDisplayPosition2", text("")}})},
      {both, true, 0, -1, file({}, ids("", "s2"))},  // -1 is a choice: no sensor
  };
  const std::pair<int, int> rejected[] = {{0, -2}, {0, 5},           {0, INT32_MAX},   {2, 0},
                                          {-1, 0}, {kUnitChoice, 3}, {kUnitChoice, -1}};
  for (auto [position, choice] : rejected) {
    cases.emplace_back(both, true, position, choice, std::nullopt);
  }
  for (const auto& [before, identified, position, choice, after] : cases) {
    SCOPED_TRACE(std::to_string(position) + ": " + std::to_string(choice));
    start(5, before);
    auto widget = controller(identified ? std::optional<std::string>("A") : std::nullopt);
    if (position == kUnitChoice) {
      widget->setTemperatureUnitIndex(choice);
    } else {
      widget->setPreferredSensorIndex(choice, position);
    }
    EXPECT_EQ(written(), after);
  }
}

// Each write stores only the entries it changed, so an instance that last read
// the unit before another changed it does not write the old unit back.
TEST_F(PreferencesTest, TwoInstancesKeepTheirOwnKeysAndShareTheUnit) {
  start(4, std::nullopt);
  auto a = controller("A");
  auto b = controller("B");
  b->setPreferredSensorIndex(2, 1);
  b->setTemperatureUnitIndex(2);
  a->setPreferredSensorIndex(3, 0);
  EXPECT_EQ(written(), file(2, ids("s3", "s1",
                                   {{"B:SensorIDForDisplayPosition1", text("s0")},
                                    {"B:SensorIDForDisplayPosition2", text("s2")},
                                    {"B:LastUsed", kUsedNow}})));
}

// A serial number that is no well-formed text is stored as well-formed text,
// the same on every run, so other readers take the file and the choices are found again.
TEST_F(PreferencesTest, ChoicesAreFiledUnderEachMachinesSerialNumber) {
  start(3, std::nullopt);
  controller("A")->setPreferredSensorIndex(2, 0);
  install("W8\xff\x01Z");
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 0);
  controller("A")->setPreferredSensorIndex(1, 0);
  EXPECT_EQ(written(), file(0, ids("s2", "s1"), {{"W8\uFFFD\uFFFDZ", ids("s1", "s1")}}));
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 1);
}

// Every tab is an instance of its own; beyond the bound the least recently
// used one makes room, so the file stops growing.
TEST_F(PreferencesTest, StoredInstancesAreBounded) {
  PlistDictionary machine;
  for (std::size_t i = 0; i < StoredInstances::kMaximum; ++i) {
    machine["I" + std::to_string(i) + ":SensorIDForDisplayPosition1"] = text("s1");
    machine["I" + std::to_string(i) + ":LastUsed"] = PlistValue::date(1000.0 - i);
  }
  start(2, file(0, machine));
  ScopedLogCapture log;
  controller("A");
  const PlistDictionary stored = *written()->at(kSerial).asDictionary();
  EXPECT_EQ(stored.size(), 2 * StoredInstances::kMaximum + 1);  // A owns three keys
  const std::string oldest = "I" + std::to_string(StoredInstances::kMaximum - 1);
  EXPECT_FALSE(stored.count(oldest + ":LastUsed"));
  EXPECT_TRUE(log.contains("forgot the choices of 1 least recently used"));
}

}  // namespace
}  // namespace zor::testing

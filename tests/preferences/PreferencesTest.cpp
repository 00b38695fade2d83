// The widget's stored choices, end to end: a controller over test sensors on
// a simulated machine, writing to a real preferences folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "services/TestSupport.h"
#include "system/SystemTestMachine.h"
#include "widget/PluginController.h"
#include "widget/StoredInstances.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {
namespace {

constexpr const char* kDomain = "org.test.widget";
constexpr const char* kSerial = "W89201ZX1AQ";
constexpr const char* kUnit = "IndexOfTemperatureUnit";
constexpr const char* kID1 = "A:SensorIDForDisplayPosition1";
constexpr const char* kID2 = "A:SensorIDForDisplayPosition2";
constexpr const char* kIndex1 = "A:SensorIndexForDisplayPosition1";
constexpr double kNow = 1.0e9;
// The property-list date of kNow, which every write stamps as its instance's last use.
const PlistValue kUsedNow = PlistValue::date(kNow - 978307200.0);

PlistDictionary machineWithSerial(const std::string& serial) {
  return profileWithServices(
      {entry("IOPlatformExpertDevice", "Expert", {{"IOPlatformSerialNumber", text(serial)}})});
}

// Instance A's two stored identifiers and its last use, with any other keys of this
// machine's entry.
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

class PreferencesTest : public ::testing::Test {
 protected:
  PreferencesTest() : machine_(std::make_unique<InstalledMachine>(machineWithSerial(kSerial))) {
    ZORSensor::registerSensorClass(family_.object);
    fakes_.bundle->info["CFBundleIdentifier"] = kDomain;
    UserDefaults::setPreferencesDirectory(folder_.path());
  }
  ~PreferencesTest() override { UserDefaults::setPreferencesDirectory(""); }

  // Sensors "s0", "s1", ... in this sorted order; a fresh folder holding `contents`.
  void start(int sensors, const std::optional<PlistDictionary>& contents) {
    family_.sensors.clear();
    for (int i = 0; i < sensors; ++i) {
      family_.sensors.push_back(
          TestSensor::make("s" + std::to_string(i), "L" + std::to_string(i), 1));
    }
    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directory(folder_.path());
    if (contents) {
      ASSERT_TRUE(writePropertyListFile(path(), PlistValue(*contents), PlistFormat::XML));
    }
  }
  std::shared_ptr<PluginController> controller(const std::optional<std::string>& identifier) {
    auto made = std::make_shared<PluginController>();
    EXPECT_TRUE(made->init());
    if (identifier) made->setWidgetIdentifier(*identifier);
    return made;
  }
  std::string path() const { return folder_.file(std::string(kDomain) + ".plist"); }
  // The whole file when something wrote it (every write takes the file's lock), else nothing.
  std::optional<PlistDictionary> written() const {
    if (!std::filesystem::exists(path() + ".lock")) return std::nullopt;
    auto value = readPropertyListFile(path());
    EXPECT_TRUE(value && value->isDictionary());
    return value && value->asDictionary() ? *value->asDictionary() : PlistDictionary();
  }

  ScopedTempDirectory folder_;
  ScopedManualClock clock_{kNow};
  ScopedSensorClassRegistry registryScope_;
  ScopedWidgetFakes fakes_;
  TestFamily family_{"ZORTestFamily"};
  std::unique_ptr<InstalledMachine> machine_;
};

// What instance A chooses when it starts on a file as it stands, and the whole
// file afterwards: only defaults it had to assign are written.
TEST_F(PreferencesTest, StartChoosesFromTheFileAndStoresOnlyWhatItAssigned) {
  struct Case {
    const char* what;
    int sensors;
    std::optional<PlistDictionary> before;
    std::int32_t first, second, unit;
    std::optional<PlistDictionary> after;
  };
  const Case cases[] = {
      {"first run", 3, {}, 0, 1, 0, file(0, ids("s0", "s1"))},
      {"one sensor", 1, {}, 0, -1, 0, file(0, ids("s0", ""))},
      {"no sensors", 0, {}, -1, -1, 0, {}},
      {"stored identifiers", 4, file({}, ids("s3", "s0")), 3, 0, 0, {}},
      {"one stored position is enough", 3, file({}, ids("", "s2")), -1, 2, 0, {}},
      {"vanished sensor", 3, file({}, ids("gone", "s2")), -1, 2, 0, {}},
      {"older index key", 5, file({}, {{kIndex1, number(3)}}), 3, -1, 0, {}},
      {"identifier wins", 5, file({}, {{kID1, text("s1")}, {kIndex1, number(3)}}), 1, -1, 0, {}},
      {"older index past the end",
       5,
       file({}, {{kIndex1, number(5)}, {kID2, text("s4")}}),
       -1,
       4,
       0,
       {}},
      {"older index below zero",
       5,
       file({}, {{kIndex1, number(-2)}, {kID2, text("s4")}}),
       -1,
       4,
       0,
       {}},
      {"unit from the older place", 2, file({}, {{kUnit, number(1)}}), 0, 1, 1,
       file(1, ids("s0", "s1", {{kUnit, number(1)}}))},
      {"older unit out of range", 2, file({}, {{kUnit, number(5)}}), 0, 1, 0,
       file(0, ids("s0", "s1", {{kUnit, number(5)}}))},
      {"top-level unit wins", 2, file(2, {{kUnit, number(1)}, {kID1, text("s1")}}), 1, -1, 2, {}},
      {"unit not read without this machine's entry", 2, PlistDictionary{{kUnit, number(2)}}, 0, 1,
       0, file(0, ids("s0", "s1"))},
      {"machine entry that is no dictionary", 2,
       PlistDictionary{{kSerial, text("x")}, {kUnit, number(1)}}, 0, 1, 0,
       file(0, ids("s0", "s1"))},
      {"every other key carried over", 2,
       file({}, {{"Note", number(42)}}, {{"Unrelated", text("kept")}, {"OTHER", ids("x", "y")}}), 0,
       1, 0,
       file(0, ids("s0", "s1", {{"Note", number(42)}}),
            {{"Unrelated", text("kept")}, {"OTHER", ids("x", "y")}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(c.sensors, c.before);
    auto widget = controller("A");
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), c.first);
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), c.second);
    EXPECT_EQ(widget->preferredTemperatureUnitIndex(), c.unit);
    EXPECT_EQ(written(), c.after);
  }
}

// What a choice writes, starting from a file as it stands: this instance's
// positions, and the unit only when the unit is what was chosen.
TEST_F(PreferencesTest, ChoicesRewriteThisInstancesKeys) {
  struct Case {
    const char* what;
    PlistDictionary before;
    std::optional<std::string> identifier;
    std::function<void(PluginController&)> choose;
    PlistDictionary after;
  };
  const PlistDictionary olderB{{"B:SensorIndexForDisplayPosition1", number(4)}};
  const Case cases[] = {
      {"older index keys are replaced, another instance's kept",
       file({}, {{kIndex1, number(3)}, {"B:SensorIndexForDisplayPosition1", number(4)}}), "A",
       [](PluginController& widget) { widget.setTemperatureUnitIndex(1); },
       file(1, ids("s3", "", olderB))},
      {"vanished sensors are stored empty", file({}, ids("gone", "s2")), "A",
       [](PluginController& widget) { widget.setPreferredSensorIndex(1, 1); },
       file({}, ids("", "s1"))},
      {"the unit is stored at the top level only", file({}, {{kID1, text("s1")}}), "A",
       [](PluginController& widget) { widget.setTemperatureUnitIndex(2); }, file(2, ids("s1", ""))},
      {"before the identifier the plain keys are used", file({}, {}), std::nullopt,
       [](PluginController& widget) { widget.setPreferredSensorIndex(1, 0); },
       file({}, {{"SensorIDForDisplayPosition1", text("s1")},
                 {"SensorIDForDisplayPosition2", text("")}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(5, c.before);
    c.choose(*controller(c.identifier));
    EXPECT_EQ(written(), c.after);
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
  // A later start of each instance finds its own choice and the shared unit.
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 3);
  EXPECT_EQ(controller("A")->preferredTemperatureUnitIndex(), 2);
  EXPECT_EQ(controller("B")->preferredSensorIndexAtDisplayIndex(1), 2);
}

// Two hosts on one preferences folder, choosing at the same time.
TEST_F(PreferencesTest, TwoProcessesChoosingAtOnceKeepEveryChoice) {
  constexpr int kInstances = 15;
  start(4, std::nullopt);
  auto choose = [this](const std::string& prefix) {
    for (int i = 0; i < kInstances; ++i) {
      controller(prefix + std::to_string(i))->setPreferredSensorIndex(i % 4, 0);
    }
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    choose("C");
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  choose("P");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const PlistDictionary stored = *written()->at(kSerial).asDictionary();
  for (const char* prefix : {"C", "P"}) {
    for (int i = 0; i < kInstances; ++i) {
      const std::string key = prefix + std::to_string(i) + ":SensorIDForDisplayPosition1";
      ASSERT_TRUE(stored.count(key)) << key;
      EXPECT_EQ(stored.at(key), text("s" + std::to_string(i % 4))) << key;
    }
  }
}

TEST_F(PreferencesTest, RejectedChoicesWriteNothing) {
  start(3, std::nullopt);
  auto widget = controller("A");
  std::filesystem::remove(path());
  widget->setPreferredSensorIndex(-2, 0);
  widget->setPreferredSensorIndex(3, 0);
  widget->setPreferredSensorIndex(0, 2);
  widget->setPreferredSensorIndex(0, -1);
  widget->setTemperatureUnitIndex(3);
  widget->setTemperatureUnitIndex(-1);
  EXPECT_FALSE(std::filesystem::exists(path()));
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 0);
  // -1 is a choice: no sensor.
  widget->setPreferredSensorIndex(-1, 0);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(written(), file({}, ids("", "s1")));
}

TEST_F(PreferencesTest, ChoicesAreFiledUnderEachMachinesSerialNumber) {
  start(3, std::nullopt);
  controller("A")->setPreferredSensorIndex(2, 0);
  machine_.reset();
  machine_ = std::make_unique<InstalledMachine>(machineWithSerial("OTHER"));
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(written(), file(0, ids("s2", "s1"), {{"OTHER", ids("s0", "s1")}}));
}

// Every tab is an instance of its own; beyond the bound the least recently
// used one makes room, so the file stops growing.
TEST_F(PreferencesTest, StoredInstancesAreBounded) {
  PlistDictionary machine;
  for (std::size_t i = 0; i < StoredInstances::kMaximum; ++i) {
    const std::string instance = "I" + std::to_string(i);
    machine[instance + ":SensorIDForDisplayPosition1"] = text("s1");
    machine[instance + ":LastUsed"] = PlistValue::date(1000.0 - static_cast<double>(i));
  }
  const std::string oldest = "I" + std::to_string(StoredInstances::kMaximum - 1);
  start(2, file(0, machine));
  ScopedLogCapture log;
  controller("A");
  const PlistDictionary stored = *written()->at(kSerial).asDictionary();
  EXPECT_EQ(stored.size(), 2 * StoredInstances::kMaximum + 1);  // A owns three keys
  EXPECT_EQ(
      stored.count(oldest + ":LastUsed") + stored.count(oldest + ":SensorIDForDisplayPosition1"),
      0u);
  EXPECT_EQ(stored.count("I0:LastUsed"), 1u);
  EXPECT_EQ(stored.at(kID1), text("s0"));
  EXPECT_TRUE(log.contains("forgot the choices of 1 least recently used"));
}

// A serial number that is no well-formed text is stored as well-formed text,
// the same on every run, so other readers take the file and the choices are found again.
TEST_F(PreferencesTest, SerialNumbersAreStoredAsWellFormedText) {
  machine_.reset();
  machine_ = std::make_unique<InstalledMachine>(machineWithSerial("W8\xff\x01Z"));
  start(3, std::nullopt);
  controller("A")->setPreferredSensorIndex(2, 0);
  const std::optional<std::string> bytes = readWholeFile(path());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->find_first_of(std::string("\xff\x01", 2)), std::string::npos);
  EXPECT_EQ(written()->count("W8\uFFFD\uFFFDZ"), 1u);
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 2);
}

TEST_F(PreferencesTest, PluginWithoutIdentifierHasNoStore) {
  start(2, std::nullopt);
  fakes_.bundle->info.erase("CFBundleIdentifier");
  auto widget = controller("A");
  widget->setTemperatureUnitIndex(1);
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 1);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

}  // namespace
}  // namespace zor::testing

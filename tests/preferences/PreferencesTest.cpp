// The widget's stored choices, end to end: a controller over test sensors on
// a simulated machine, writing to a real preferences folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "services/TestSupport.h"
#include "system/SystemTestMachine.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {
namespace {

constexpr const char* kDomain = "org.test.widget";
constexpr const char* kSerial = "W89201ZX1AQ";

PlistDictionary machineWithSerial(const std::string& serial) {
  return profileWithServices(
      {entry("IOPlatformExpertDevice", "Expert", {{"IOPlatformSerialNumber", text(serial)}})});
}

class PreferencesTest : public ::testing::Test {
 protected:
  PreferencesTest() : machine_(std::make_unique<InstalledMachine>(machineWithSerial(kSerial))) {
    ZORSensor::registerSensorClass(family_.object);
    fakes_.bundle->info["CFBundleIdentifier"] = kDomain;
    UserDefaults::setPreferencesDirectory(folder_.path());
  }
  ~PreferencesTest() override { UserDefaults::setPreferencesDirectory(""); }

  // Sensors "s0", "s1", ... in this sorted order.
  void addSensors(int count) {
    for (int i = 0; i < count; ++i) {
      family_.sensors.push_back(
          TestSensor::make("s" + std::to_string(i), "L" + std::to_string(i), 1));
    }
  }
  std::shared_ptr<PluginController> controller(const std::optional<std::string>& identifier) {
    auto made = std::make_shared<PluginController>();
    EXPECT_TRUE(made->init());
    if (identifier) made->setWidgetIdentifier(*identifier);
    return made;
  }
  std::string path() const { return folder_.file(std::string(kDomain) + ".plist"); }
  bool stored() const { return std::filesystem::exists(path()); }
  PlistDictionary domain() const {
    auto value = readPropertyListFile(path());
    EXPECT_TRUE(value && value->isDictionary());
    return value && value->asDictionary() ? *value->asDictionary() : PlistDictionary();
  }
  PlistDictionary machineEntry(const std::string& serial = kSerial) const {
    const PlistDictionary all = domain();
    auto found = all.find(serial);
    EXPECT_TRUE(found != all.end() && found->second.isDictionary()) << serial;
    return found != all.end() && found->second.asDictionary() ? *found->second.asDictionary()
                                                              : PlistDictionary();
  }
  void seed(const PlistDictionary& contents) {
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(contents), PlistFormat::XML));
  }
  void seedMachine(const PlistDictionary& perMachine, PlistDictionary top = {}) {
    top[kSerial] = PlistValue(perMachine);
    seed(top);
  }

  ScopedTempDirectory folder_;
  ScopedSensorClassRegistry registryScope_;
  ScopedWidgetFakes fakes_;
  TestFamily family_{"ZORTestFamily"};
  std::unique_ptr<InstalledMachine> machine_;
};

TEST_F(PreferencesTest, FirstRunAssignsAndStoresTheFirstTwoSensors) {
  addSensors(3);
  ASSERT_FALSE(stored());
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), 1);
  const PlistDictionary all = domain();
  EXPECT_EQ(all.at("IndexOfTemperatureUnit"), number(0));
  EXPECT_EQ(all.size(), 2u);
  const PlistDictionary mine = machineEntry();
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition1"), text("s0"));
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition2"), text("s1"));
  EXPECT_EQ(mine.size(), 2u);
}

TEST_F(PreferencesTest, OneSensorLeavesTheSecondPositionEmpty) {
  addSensors(1);
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), -1);
  EXPECT_EQ(machineEntry().at("A:SensorIDForDisplayPosition2"), text(""));
}

TEST_F(PreferencesTest, MachineWithoutSensorsWritesNothing) {
  auto widget = controller("A");
  EXPECT_EQ(widget->widgetIdentifier(), "A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_FALSE(stored());
}

TEST_F(PreferencesTest, StoredIdentifiersChooseTheSensors) {
  addSensors(4);
  seedMachine({{"A:SensorIDForDisplayPosition1", text("s3")},
               {"A:SensorIDForDisplayPosition2", text("s0")}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 3);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), 0);
}

TEST_F(PreferencesTest, OneStoredPositionIsEnoughToSkipTheDefaults) {
  addSensors(3);
  seedMachine(
      {{"A:SensorIDForDisplayPosition1", text("")}, {"A:SensorIDForDisplayPosition2", text("s2")}});
  std::filesystem::remove(path() + ".lock");
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), 2);
  // Nothing was written: the lock file of a write never appeared.
  EXPECT_FALSE(std::filesystem::exists(path() + ".lock"));
}

TEST_F(PreferencesTest, OlderIndexKeysAreReadAndRemovedByTheNextWrite) {
  addSensors(5);
  seedMachine({{"A:SensorIndexForDisplayPosition1", number(3)},
               {"B:SensorIndexForDisplayPosition1", number(4)}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 3);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), -1);
  EXPECT_EQ(machineEntry().count("A:SensorIndexForDisplayPosition1"), 1u);

  widget->setTemperatureUnitIndex(1);
  const PlistDictionary mine = machineEntry();
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition1"), text("s3"));
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition2"), text(""));
  EXPECT_EQ(mine.count("A:SensorIndexForDisplayPosition1"), 0u);
  // Another instance's older key is not this instance's to remove.
  EXPECT_EQ(mine.at("B:SensorIndexForDisplayPosition1"), number(4));
}

TEST_F(PreferencesTest, OlderIndexOutsideTheListLeavesThePositionEmpty) {
  addSensors(5);
  for (std::int64_t stored : {7, 5, -2}) {
    seedMachine({{"A:SensorIndexForDisplayPosition1", number(stored)},
                 {"A:SensorIDForDisplayPosition2", text("s4")}});
    auto widget = controller("A");
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1) << stored;
    EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(1), 4) << stored;
  }
}

TEST_F(PreferencesTest, IdentifierKeyWinsOverTheOlderIndexKey) {
  addSensors(5);
  seedMachine({{"A:SensorIDForDisplayPosition1", text("s1")},
               {"A:SensorIndexForDisplayPosition1", number(3)}});
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 1);
}

TEST_F(PreferencesTest, IdentifiersOfVanishedSensorsAreStoredEmpty) {
  addSensors(3);
  seedMachine({{"A:SensorIDForDisplayPosition1", text("gone")},
               {"A:SensorIDForDisplayPosition2", text("s2")}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1);
  widget->setPreferredSensorIndex(1, 1);
  const PlistDictionary mine = machineEntry();
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition1"), text(""));
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition2"), text("s1"));
}

TEST_F(PreferencesTest, TwoInstancesKeepTheirOwnKeys) {
  addSensors(4);
  auto a = controller("A");
  auto b = controller("B");
  a->setPreferredSensorIndex(3, 0);
  b->setPreferredSensorIndex(2, 1);
  const PlistDictionary mine = machineEntry();
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition1"), text("s3"));
  EXPECT_EQ(mine.at("A:SensorIDForDisplayPosition2"), text("s1"));
  EXPECT_EQ(mine.at("B:SensorIDForDisplayPosition1"), text("s0"));
  EXPECT_EQ(mine.at("B:SensorIDForDisplayPosition2"), text("s2"));

  // A later start of each instance finds its own choice.
  EXPECT_EQ(controller("A")->preferredSensorIndexAtDisplayIndex(0), 3);
  EXPECT_EQ(controller("B")->preferredSensorIndexAtDisplayIndex(1), 2);
}

TEST_F(PreferencesTest, RejectedChoicesWriteNothing) {
  addSensors(3);
  auto widget = controller("A");
  std::filesystem::remove(path());
  widget->setPreferredSensorIndex(-2, 0);
  widget->setPreferredSensorIndex(3, 0);
  widget->setPreferredSensorIndex(0, 2);
  widget->setPreferredSensorIndex(0, -1);
  widget->setTemperatureUnitIndex(3);
  widget->setTemperatureUnitIndex(-1);
  EXPECT_FALSE(stored());
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 0);

  widget->setPreferredSensorIndex(-1, 0);
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), -1);
  EXPECT_EQ(machineEntry().at("A:SensorIDForDisplayPosition1"), text(""));
}

TEST_F(PreferencesTest, TemperatureUnitIsSharedAtTheTopLevel) {
  addSensors(2);
  controller("A")->setTemperatureUnitIndex(2);
  EXPECT_EQ(domain().at("IndexOfTemperatureUnit"), number(2));
  EXPECT_EQ(machineEntry().count("IndexOfTemperatureUnit"), 0u);
  EXPECT_EQ(controller("B")->preferredTemperatureUnitIndex(), 2);
}

TEST_F(PreferencesTest, UnitIsNotReadWithoutThisMachinesDictionary) {
  addSensors(2);
  seed({{"IndexOfTemperatureUnit", number(2)}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 0);
  // The defaults written at once store the unit as it stands.
  EXPECT_EQ(domain().at("IndexOfTemperatureUnit"), number(0));
}

TEST_F(PreferencesTest, UnitFromTheOlderPlaceAndOutOfRange) {
  addSensors(2);
  const std::pair<PlistDictionary, std::int32_t> cases[] = {
      {{{"IndexOfTemperatureUnit", number(1)}}, 1},
      {{{"IndexOfTemperatureUnit", number(5)}}, 0},
      {{{"IndexOfTemperatureUnit", number(-1)}}, 0},
  };
  for (const auto& [perMachine, unit] : cases) {
    seedMachine(perMachine);
    EXPECT_EQ(controller("A")->preferredTemperatureUnitIndex(), unit);
  }
  // The top level wins over the older place.
  seedMachine({{"IndexOfTemperatureUnit", number(1)}}, {{"IndexOfTemperatureUnit", number(2)}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 2);
  // The older place is never written, only carried over.
  EXPECT_EQ(machineEntry().at("IndexOfTemperatureUnit"), number(1));
}

TEST_F(PreferencesTest, EveryOtherKeyIsCarriedOver) {
  addSensors(2);
  seed({{"Unrelated", text("kept")},
        {"OTHERSERIAL", PlistValue(PlistDictionary{{"A:SensorIDForDisplayPosition1", text("x")}})},
        {kSerial, PlistValue(PlistDictionary{{"Note", number(42)}})}});
  controller("A");
  const PlistDictionary all = domain();
  EXPECT_EQ(all.at("Unrelated"), text("kept"));
  EXPECT_EQ(all.at("OTHERSERIAL"),
            PlistValue(PlistDictionary{{"A:SensorIDForDisplayPosition1", text("x")}}));
  EXPECT_EQ(machineEntry().at("Note"), number(42));
  EXPECT_EQ(machineEntry().at("A:SensorIDForDisplayPosition1"), text("s0"));
}

TEST_F(PreferencesTest, ChoicesAreFiledUnderEachMachinesSerialNumber) {
  addSensors(3);
  controller("A")->setPreferredSensorIndex(2, 0);
  machine_.reset();
  machine_ = std::make_unique<InstalledMachine>(machineWithSerial("OTHERSERIAL"));
  auto elsewhere = controller("A");
  EXPECT_EQ(elsewhere->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(machineEntry("OTHERSERIAL").at("A:SensorIDForDisplayPosition1"), text("s0"));
  EXPECT_EQ(machineEntry(kSerial).at("A:SensorIDForDisplayPosition1"), text("s2"));
}

TEST_F(PreferencesTest, MachineEntryThatIsNoDictionaryIsReplaced) {
  addSensors(2);
  seed({{kSerial, text("not a dictionary")}, {"IndexOfTemperatureUnit", number(1)}});
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 0);
  EXPECT_EQ(machineEntry().at("A:SensorIDForDisplayPosition1"), text("s0"));
}

TEST_F(PreferencesTest, WritesBeforeTheIdentifierUseThePlainKeys) {
  addSensors(2);
  auto widget = controller(std::nullopt);
  widget->setPreferredSensorIndex(1, 0);
  const PlistDictionary mine = machineEntry();
  EXPECT_EQ(mine.at("SensorIDForDisplayPosition1"), text("s1"));
  EXPECT_EQ(mine.at("SensorIDForDisplayPosition2"), text(""));
  EXPECT_EQ(widget->widgetInstanceKeyForPreferenceKey("K"), "K");
}

TEST_F(PreferencesTest, UnreadableFileIsMovedAsideBeforeItIsReplaced) {
  addSensors(2);
  {
    std::ofstream damaged(path(), std::ios::binary);
    damaged << "<plist><dict><key>broken";
  }
  ScopedManualClock clock(1.7e9);
  ScopedLogCapture log;
  auto widget = controller("A");
  EXPECT_EQ(widget->preferredSensorIndexAtDisplayIndex(0), 0);
  EXPECT_EQ(machineEntry().at("A:SensorIDForDisplayPosition1"), text("s0"));

  std::vector<std::filesystem::path> asides;
  for (const auto& file : std::filesystem::directory_iterator(folder_.path())) {
    if (file.path().filename().string().find(".corrupt-") != std::string::npos) {
      asides.push_back(file.path());
    }
  }
  ASSERT_EQ(asides.size(), 1u);
  std::ifstream aside(asides[0], std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), "<plist><dict><key>broken");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("moved aside"), std::string::npos) << log.lines()[0];
}

TEST_F(PreferencesTest, PluginWithoutIdentifierHasNoStore) {
  addSensors(2);
  fakes_.bundle->info.erase("CFBundleIdentifier");
  auto widget = controller("A");
  widget->setTemperatureUnitIndex(1);
  EXPECT_EQ(widget->preferredTemperatureUnitIndex(), 1);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

TEST_F(PreferencesTest, ControllerHoldsTheSharedMachineDescription) {
  auto widget = controller(std::nullopt);
  ASSERT_NE(widget->machineInfo(), nullptr);
  EXPECT_EQ(widget->machineInfo(), ZORMachineInfo::sharedMachineInfo());
  EXPECT_EQ(widget->machineInfo()->machineSerialNumber(), kSerial);
}

}  // namespace
}  // namespace zor::testing

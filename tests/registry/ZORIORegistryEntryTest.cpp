#include "registry/ZORIORegistryEntry.h"

#include <gtest/gtest.h>

#include "platform/IOKit.h"
#include "tests/registry/RegistryTestMachine.h"

namespace zor::testing {
namespace {

using namespace iokit;

std::shared_ptr<ZORIORegistryEntry> expertEntry() {
  return ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), std::string("/Expert"));
}

std::vector<std::string> namesOf(const ZORIORegistryEntryList& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    names.push_back(entry->stringValueWithName("location").value_or("?"));
  }
  return names;
}

using RegistryEntryTest = RegistryTest;

TEST_F(RegistryEntryTest, MatchingFindsExactClassInRegistryOrder) {
  auto sensors = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOHWSensor"));
  ASSERT_TRUE(sensors.has_value());
  EXPECT_EQ(namesOf(*sensors),
            (std::vector<std::string>{"CPU BOTTOM", "AD7417 AD1", "FAN", "NOWHERE"}));
}

TEST_F(RegistryEntryTest, MatchingTellsNullFromEmpty) {
  struct Case {
    std::optional<std::string> name;
    bool isNull;
    std::size_t count;
  };
  const Case cases[] = {
      {std::nullopt, true, 0},
      {std::string("NoSuchClass"), false, 0},
      {std::string("iohwsensor"), false, 0},   // case counts
      {std::string("IOHWSensorX"), false, 0},  // no prefix matching
      {std::string("IOService"), false, 1},    // a listed superclass matches
      {std::string("IORegistryEntry"), false, 1},
  };
  for (const Case& c : cases) {
    auto found = ZORIORegistryEntry::serviceObjectsMatchingName(c.name);
    EXPECT_EQ(!found.has_value(), c.isNull) << c.name.value_or("(null)");
    if (found) {
      EXPECT_EQ(found->size(), c.count) << c.name.value_or("(null)");
    }
  }
}

TEST_F(RegistryEntryTest, MatchingWithoutAPlatformGivesAnEmptyArray) {
  Machine::install(nullptr);
  auto found = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOHWSensor"));
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->empty());
  Machine::install(machine_);
}

TEST_F(RegistryEntryTest, PathLookupInBothPlanes) {
  struct Case {
    std::optional<std::string> plane;
    std::optional<std::string> path;
    std::optional<std::string> expectedName;  // nothing: no entry
  };
  const Case cases[] = {
      {std::string("IODeviceTree"), std::string("/rom/boot-rom"), std::string("Example")},
      {std::string("IODeviceTree"), std::string("/rom/"), std::string("")},
      {std::string("IOService"), std::string("/Expert/Controller"), std::string("")},
      {std::string("IODeviceTree"), std::string("/rom/missing"), std::nullopt},
      {std::string("IODeviceTree"), std::string("rom"), std::nullopt},
      {std::string("IOPower"), std::string("/"), std::nullopt},
      {std::nullopt, std::string("/rom"), std::nullopt},
      {std::string("IODeviceTree"), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    auto entry = ZORIORegistryEntry::registryEntryInPlane(c.plane, c.path);
    SCOPED_TRACE(c.plane.value_or("(null)") + ":" + c.path.value_or("(null)"));
    ASSERT_EQ(entry != nullptr, c.expectedName.has_value());
    if (entry && !c.expectedName->empty()) {
      EXPECT_EQ(entry->stringValueWithName("vendor"), c.expectedName);
    }
  }
}

TEST_F(RegistryEntryTest, AnEntryOutlivingItsMachineReleasesNothingIntoTheNextOne) {
  auto kept = expertEntry();
  ASSERT_NE(kept, nullptr);
  std::uint32_t handle = kept->ioKitHandle();
  auto next = machineFromXml(kRegistryTestProfile);
  ASSERT_NE(next, nullptr);
  Machine::install(next);
  // The same handle number names a live entry of the new machine.
  auto sameNumber = expertEntry();
  ASSERT_NE(sameNumber, nullptr);
  ASSERT_EQ(sameNumber->ioKitHandle(), handle);
  std::int64_t before = next->registry().outstandingReferences();
  kept.reset();
  EXPECT_EQ(next->registry().outstandingReferences(), before);
  EXPECT_TRUE(sameNumber->hasValueWithName("text"));
  sameNumber.reset();
  EXPECT_EQ(next->registry().outstandingReferences(), 0);
  // The first machine's reference went with that machine; the check at the
  // end of the test is about the machine installed now.
  machine_ = next;
}

TEST_F(RegistryEntryTest, HandleZeroGivesNoEntry) {
  EXPECT_EQ(ZORIORegistryEntry::entryWithIOKitHandle(0), nullptr);
  ZORIORegistryEntry empty;
  EXPECT_EQ(empty.ioKitHandle(), 0u);
  EXPECT_FALSE(empty.hasValueWithName("text"));
  EXPECT_EQ(empty.stringValueWithName("text"), std::nullopt);
  EXPECT_EQ(empty.intValueWithName("count"), -1);
  EXPECT_EQ(empty.arrayValueWithName("list"), std::nullopt);
  EXPECT_EQ(empty.properties(), std::nullopt);
  EXPECT_EQ(empty.driverClassName(), std::nullopt);
  EXPECT_EQ(empty.parentServiceEntry(), nullptr);
  EXPECT_EQ(empty.childServiceEntry(), nullptr);
  EXPECT_EQ(empty.description(), "ZORIORegistryEntry: (null)\n");
}

TEST_F(RegistryEntryTest, EntryKeepsItsOwnReferenceAfterTheCallerReleases) {
  io_registry_entry_t handle = IORegistryEntryFromPath(kIOMasterPortDefault, "IOService:/Expert");
  ASSERT_NE(handle, 0u);
  auto entry = ZORIORegistryEntry::entryWithIOKitHandle(handle);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(registry().referenceCount(handle), 2u);
  EXPECT_EQ(IOObjectRelease(handle), kIOReturnSuccess);
  EXPECT_EQ(entry->stringValueWithName("text"), "hello");
  entry.reset();
  EXPECT_EQ(registry().referenceCount(handle), 0u);
}

TEST_F(RegistryEntryTest, StringValuesFromStringsAndDataBlocks) {
  auto entry = expertEntry();
  ASSERT_NE(entry, nullptr);
  struct Case {
    const char* property;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"model", std::string("ab")},    // stops at the first zero byte
      {"nozero", std::string("abc")},  // a block without a zero byte is all text
      {"text", std::string("hello")}, {"count", std::nullopt},
      {"list", std::nullopt},         {"missing", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(entry->stringValueWithName(c.property), c.expected) << c.property;
  }
}

TEST(DataPropertyTextTest, ReadsTextWithinTheBlockOnly) {
  struct Case {
    PlistData bytes;
    std::string expected;
  };
  const Case cases[] = {
      {{}, ""},
      {{0}, ""},
      {{'a', 'b', 0, 'c'}, "ab"},
      {{'x', 'y', 'z'}, "xyz"},
      {{0xc3, 0xa9, 0}, "\xc3\xa9"},       // UTF-8 stays as it is
      {{'a', 0xe9}, "a\xc3\xa9"},          // a Latin-1 byte becomes its character
      {{0xe2, 0x82}, "\xc3\xa2\xc2\x82"},  // a cut-off sequence is no UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(textOfDataProperty(c.bytes), c.expected);
  }
}

TEST_F(RegistryEntryTest, IntValuesAreNumbersTruncatedToThirtyTwoBits) {
  auto entry = expertEntry();
  ASSERT_NE(entry, nullptr);
  struct Case {
    const char* property;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"count", 7}, {"big", 5},   {"neg", -3},   {"real", 2},
      {"flag", 1},  {"text", -1}, {"model", -1}, {"missing", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(entry->intValueWithName(c.property), c.expected) << c.property;
  }
}

TEST_F(RegistryEntryTest, PresenceAndArrays) {
  auto entry = expertEntry();
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->hasValueWithName("flag"));
  EXPECT_FALSE(entry->hasValueWithName("missing"));
  // Structure keys are not properties.
  EXPECT_FALSE(entry->hasValueWithName("IORegistryEntryChildren"));
  EXPECT_FALSE(entry->hasValueWithName("IOObjectClass"));
  auto list = entry->arrayValueWithName("list");
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->size(), 2u);
  EXPECT_EQ(entry->arrayValueWithName("text"), std::nullopt);
  EXPECT_EQ(entry->arrayValueWithName("missing"), std::nullopt);
}

TEST_F(RegistryEntryTest, PropertiesAreACopyWithoutStructureKeys) {
  auto sensor = ZORIORegistryEntry::registryEntryInPlane(
      std::string("IOService"), std::string("/Expert/Controller/cpu-sensor"));
  ASSERT_NE(sensor, nullptr);
  auto all = sensor->properties();
  ASSERT_TRUE(all.has_value());
  std::vector<std::string> keys;
  for (const auto& [key, value] : *all) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"current-value", "location", "sensor-id", "type"}));
  (*all)["type"] = PlistValue("changed");
  EXPECT_EQ(sensor->stringValueWithName("type"), "temperature");
}

TEST_F(RegistryEntryTest, DriverClassNameWalksUpToTheBundleEntry) {
  struct Case {
    const char* path;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"/Expert/Controller/cpu-sensor", std::string("AppleI2CController")},
      {"/Expert/Controller", std::string("AppleI2CController")},  // its own entry
      {"/Expert", std::nullopt},                                  // nothing above has one
      {"/", std::nullopt},
      {"/Weird", std::nullopt},  // "IOClass" is no string
  };
  for (const Case& c : cases) {
    auto entry =
        ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), std::string(c.path));
    ASSERT_NE(entry, nullptr) << c.path;
    EXPECT_EQ(entry->driverClassName(), c.expected) << c.path;
    entry.reset();
    EXPECT_EQ(registry().outstandingReferences(), 0) << c.path;
  }
}

TEST_F(RegistryEntryTest, ParentAndFirstChildInTheServicePlane) {
  auto controller = ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"),
                                                             std::string("/Expert/Controller"));
  ASSERT_NE(controller, nullptr);
  auto child = controller->childServiceEntry();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->stringValueWithName("location"), "CPU BOTTOM");
  auto parent = child->parentServiceEntry();
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->ioKitHandle(), controller->ioKitHandle());
  EXPECT_EQ(child->childServiceEntry(), nullptr);  // a leaf
  auto root = ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), std::string("/"));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->parentServiceEntry(), nullptr);
  // Device-tree entries are not in the service plane.
  auto rom =
      ZORIORegistryEntry::registryEntryInPlane(std::string("IODeviceTree"), std::string("/rom"));
  ASSERT_NE(rom, nullptr);
  EXPECT_EQ(rom->childServiceEntry(), nullptr);
  EXPECT_EQ(rom->parentServiceEntry(), nullptr);
}

TEST_F(RegistryEntryTest, DescriptionNamesTheClassAndTheProperties) {
  auto entry = ZORIORegistryEntry::registryEntryInPlane(std::string("IODeviceTree"),
                                                        std::string("/rom/boot-rom"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->description(), "ZORIORegistryEntry: {\n    vendor = Example;\n}\n");
}

TEST_F(RegistryEntryTest, EntryWhosePropertiesCannotBeReadDescribesNull) {
  // A handle the registry no longer knows makes every read fail.
  io_registry_entry_t handle = IORegistryEntryFromPath(kIOMasterPortDefault, "IODeviceTree:/rom");
  auto entry = ZORIORegistryEntry::entryWithIOKitHandle(handle);
  ASSERT_NE(entry, nullptr);
  IOObjectRelease(handle);
  Machine::install(nullptr);
  EXPECT_EQ(entry->description(), "ZORIORegistryEntry: (null)\n");
  Machine::install(machine_);
}

}  // namespace
}  // namespace zor::testing

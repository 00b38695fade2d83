#include "registry/ZORIORegistryEntry.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/IOKit.h"
#include "registry/ZORIORegistrySubEntry.h"
#include "tests/registry/RegistryTestMachine.h"

namespace zor::testing {
namespace {

using namespace iokit;

std::shared_ptr<ZORIORegistryEntry> entryAt(const std::string& plane, const std::string& path) {
  return ZORIORegistryEntry::registryEntryInPlane(plane, path);
}
std::shared_ptr<ZORIORegistryEntry> expertEntry() {
  return entryAt("IOService", "/Expert");
}

using RegistryEntryTest = RegistryTest;

TEST_F(RegistryEntryTest, MatchingIsByExactClassInRegistryOrderAndTellsNullFromEmpty) {
  using Names = std::vector<std::string>;
  const std::pair<std::optional<std::string>, std::optional<Names>> cases[] = {
      {"IOHWSensor", Names{"CPU BOTTOM", "AD7417 AD1", "FAN", "NOWHERE"}},
      {std::nullopt, std::nullopt},
      {"NoSuchClass", Names{}},
      {"iohwsensor", Names{}},    // case counts
      {"IOService", Names{"?"}},  // a listed superclass matches
  };
  for (const auto& [name, expected] : cases) {
    auto found = ZORIORegistryEntry::serviceObjectsMatchingName(name);
    ASSERT_EQ(found.has_value(), expected.has_value()) << name.value_or("(null)");
    if (!found) continue;
    Names names;
    for (const auto& e : *found) names.push_back(e->stringValueWithName("location").value_or("?"));
    EXPECT_EQ(names, *expected) << *name;
  }
  Machine::install(nullptr);
  auto none = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOHWSensor"));
  EXPECT_TRUE(none && none->empty()) << "without a platform: an empty array";
  Machine::install(machine_);
}

TEST_F(RegistryEntryTest, PathLookupInBothPlanes) {
  struct Case {
    std::optional<std::string> plane, path;
    std::optional<std::string> vendor;  // nothing: no entry; "": an entry without one
  };
  const Case cases[] = {
      {"IODeviceTree", "/rom/boot-rom", "Example"},   {"IOService", "/Expert/Controller", ""},
      {"IODeviceTree", "/rom/missing", std::nullopt}, {"IODeviceTree", "rom", std::nullopt},
      {std::nullopt, "/rom", std::nullopt},           {"IODeviceTree", std::nullopt, std::nullopt}};
  for (const Case& c : cases) {
    auto entry = ZORIORegistryEntry::registryEntryInPlane(c.plane, c.path);
    SCOPED_TRACE(c.plane.value_or("(null)") + ":" + c.path.value_or("(null)"));
    ASSERT_EQ(entry != nullptr, c.vendor.has_value());
    if (!entry) continue;
    EXPECT_EQ(entry->stringValueWithName("vendor").value_or(""), *c.vendor);
  }
}

TEST_F(RegistryEntryTest, AnEntryOutlivingItsMachineReleasesNothingIntoTheNextOne) {
  auto kept = expertEntry();
  ASSERT_NE(kept, nullptr);
  auto next = registryTestMachine();
  ASSERT_NE(next, nullptr);
  Machine::install(next);
  // The same handle number names a live entry of the new machine.
  auto sameNumber = expertEntry();
  ASSERT_NE(sameNumber, nullptr);
  ASSERT_EQ(sameNumber->ioKitHandle(), kept->ioKitHandle());
  std::int64_t before = next->registry().outstandingReferences();
  kept.reset();
  EXPECT_EQ(next->registry().outstandingReferences(), before);
  EXPECT_TRUE(sameNumber->hasValueWithName("text"));
  sameNumber.reset();
  // The first machine's reference went with that machine; the check at the
  // end of the test is about the machine installed now.
  machine_ = next;
}

TEST_F(RegistryEntryTest, EntryKeepsItsOwnReferenceAfterTheCallerReleases) {
  io_registry_entry_t handle = IORegistryEntryFromPath(kIOMasterPortDefault, "IOService:/Expert");
  auto entry = ZORIORegistryEntry::entryWithIOKitHandle(handle);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(registry().referenceCount(handle), 2u);
  EXPECT_EQ(IOObjectRelease(handle), kIOReturnSuccess);
  EXPECT_EQ(entry->stringValueWithName("text"), "hello");
  entry.reset();
  EXPECT_EQ(registry().referenceCount(handle), 0u);
}

// Text stops at the first zero byte; whole numbers are cut to 32 bits, -1 for
// none; the keys that build the registry are no properties.
TEST_F(RegistryEntryTest, TypedValuesConvertOnlyWhatTheyMay) {
  auto entry = expertEntry();
  const std::tuple<const char*, std::optional<std::string>, std::int32_t> cases[] = {
      {"model", "ab", -1},           {"nozero", "abc", -1},
      {"text", "hello", -1},         {"count", std::nullopt, 7},
      {"big", std::nullopt, 5},      {"neg", std::nullopt, -3},
      {"real", std::nullopt, 2},     {"flag", std::nullopt, 1},
      {"missing", std::nullopt, -1}, {"IORegistryEntryChildren", std::nullopt, -1}};
  for (const auto& [property, text, number] : cases) {
    EXPECT_EQ(entry->stringValueWithName(property), text) << property;
    EXPECT_EQ(entry->intValueWithName(property), number) << property;
    EXPECT_EQ(entry->hasValueWithName(property), text || number != -1) << property;
  }
  EXPECT_TRUE(entry->hasValueWithName("list"));
  // An entry without a handle answers nothing.
  ZORIORegistryEntry empty;
  EXPECT_FALSE(empty.hasValueWithName("text") || empty.stringValueWithName("text") ||
               empty.parentServiceEntry() || empty.childServiceEntry());
  EXPECT_EQ(empty.intValueWithName("count"), -1);
}

TEST(DataPropertyTextTest, ReadsTextWithinTheBlockOnly) {
  const std::pair<PlistData, std::string> cases[] = {
      {{}, ""},
      {{'a', 'b', 0, 'c'}, "ab"},
      {{'x', 'y', 'z'}, "xyz"},
      {{0xc3, 0xa9, 0}, "\xc3\xa9"},                   // UTF-8 stays as it is
      {{'a', 0xe9}, "a\xc3\xa9"},                      // a Latin-1 byte becomes its character
      {{0xe2, 0x82}, "\xc3\xa2\xc2\x82"},              // a cut-off sequence is no UTF-8
      {{0xf0, 0x9f, 0x98, 0x80}, "\xf0\x9f\x98\x80"},  // four bytes stay too
      {{0xff}, "\xc3\xbf"},                            // no lead byte at all
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(textOfDataProperty(bytes), expected);
}

TEST_F(RegistryEntryTest, DriverClassNameWalksUpToTheBundleEntry) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"/Expert/Controller/cpu-sensor", "AppleI2CController"},
      {"/Expert", std::nullopt},  // nothing above has one
      {"/Weird", std::nullopt},   // "IOClass" is no string
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(entryAt("IOService", path)->driverClassName(), expected) << path;
    EXPECT_EQ(registry().outstandingReferences(), 0) << path;
  }
  // Down the service plane the first child is the driver itself; a leaf has none.
  EXPECT_EQ(expertEntry()->childServiceEntry()->driverClassName(), "AppleI2CController");
  EXPECT_EQ(entryAt("IOService", "/Expert/Controller/cpu-sensor")->childServiceEntry(), nullptr);
}

// The debug log of the disk scan shows entries by these descriptions: the
// properties without the keys that build the registry.
TEST_F(RegistryEntryTest, DescriptionNamesTheClassAndTheProperties) {
  auto rom = entryAt("IODeviceTree", "/rom/boot-rom");
  EXPECT_EQ(rom->description(), "ZORIORegistryEntry: {\n    vendor = Example;\n}\n");
  // A handle the registry no longer knows makes every read fail.
  Machine::install(nullptr);
  EXPECT_EQ(rom->description(), "ZORIORegistryEntry: (null)\n");
  Machine::install(machine_);
}

// Each dictionary of an array property is a sub-entry answering from its own
// element only; an array holding anything else gives none.
TEST_F(RegistryEntryTest, SubEntriesAnswerFromTheirOwnElement) {
  auto expert = expertEntry();
  auto subEntries = expert->subEntriesWithName("list");
  ASSERT_TRUE(subEntries && subEntries->size() == 2);
  std::string seen;
  for (const auto& sub : *subEntries) {
    seen += sub->description() + sub->stringValueWithName("s").value_or("-") + " " +
            std::to_string(sub->intValueWithName("a") + sub->intValueWithName("n")) +
            (sub->hasValueWithName("text") || sub->subEntriesWithName("list") ? "!" : ";");
  }
  EXPECT_EQ(seen,
            "Sub-entry: list Index: 0: Contents {\n    a = 1;\n}\n- 1;"
            "Sub-entry: list Index: 1: Contents {\n    n = -2;\n    s = two;\n}\ntwo -2;");
  EXPECT_FALSE(expert->subEntriesWithName("mixed") || expert->subEntriesWithName("text") ||
               expert->subEntriesWithName("missing"));
  // A view whose array has gone answers nothing.
  Machine::install(nullptr);
  EXPECT_EQ(subEntries->front()->description(), "Sub-entry: list Index: 0: Contents (null)\n");
  Machine::install(machine_);
}

}  // namespace
}  // namespace zor::testing

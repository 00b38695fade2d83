#include "registry/ZORIORegistrySubEntry.h"

#include <gtest/gtest.h>

#include "tests/registry/RegistryTestMachine.h"

namespace zor::testing {
namespace {

class SubEntryTest : public RegistryTest {
 protected:
  std::shared_ptr<ZORIORegistryEntry> expert() {
    return ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"),
                                                    std::string("/Expert"));
  }
  PlistArray& list() {
    return *registry().findEntryNamed("Expert")->properties()["list"].asArray();
  }
};

TEST_F(SubEntryTest, OneSubEntryPerDictionaryElementElseNullOrEmpty) {
  const std::pair<const char*, std::optional<std::size_t>> shapes[] = {
      {"list", 2},
      {"mixed", std::nullopt},  // the second element is a number
      {"text", std::nullopt},   // a string property
      {"missing", std::nullopt},
      {"empty", 0},  // an empty array gives an empty list
  };
  auto entry = expert();
  for (const auto& [property, count] : shapes) {
    auto subEntries = entry->subEntriesWithName(property);
    ASSERT_EQ(subEntries.has_value(), count.has_value()) << property;
    if (!subEntries) continue;
    EXPECT_EQ(subEntries->size(), *count) << property;
  }
  auto subEntries = entry->subEntriesWithName("list");
  for (std::uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ((*subEntries)[i]->index(), i);
    EXPECT_EQ((*subEntries)[i]->subEntryName(), "list");
    EXPECT_EQ((*subEntries)[i]->intValueWithName("a"), static_cast<std::int32_t>(i + 1));
    EXPECT_EQ((*subEntries)[i]->ioKitHandle(), entry->ioKitHandle());
  }
  ZORIORegistrySubEntry unnamed;
  EXPECT_FALSE(unnamed.initWithEntry(*entry, std::nullopt, 0));
  EXPECT_FALSE(unnamed.initWithEntry(ZORIORegistryEntry(), std::string("list"), 0));
  EXPECT_EQ(unnamed.properties(), std::nullopt);
}

TEST_F(SubEntryTest, TypedQuestionsConvertNothing) {
  auto subEntries = expert()->subEntriesWithName("list");
  ASSERT_TRUE(subEntries && subEntries->size() == 2);
  const auto& first = (*subEntries)[0];
  const auto& second = (*subEntries)[1];
  EXPECT_EQ(first->stringValueWithName("s"), "one");
  EXPECT_EQ(second->stringValueWithName("d"), std::nullopt);  // data is no text here
  EXPECT_EQ(first->intValueWithName("missing"), 0);
  EXPECT_EQ(first->intValueWithName("s"), 0);
  EXPECT_TRUE(second->hasValueWithName("d"));
  EXPECT_FALSE(second->hasValueWithName("s"));
  EXPECT_EQ(first->subEntriesWithName("list"), std::nullopt);
  // Inherited operations work on the whole registry entry.
  EXPECT_EQ(first->arrayValueWithName("list")->size(), 2u);
}

TEST_F(SubEntryTest, ElementGoneOrNoLongerADictionaryAnswersAsIfEmpty) {
  auto subEntries = expert()->subEntriesWithName("list");
  ASSERT_TRUE(subEntries && subEntries->size() == 2);
  list().pop_back();
  const auto& second = (*subEntries)[1];
  EXPECT_EQ(second->properties(), std::nullopt);
  EXPECT_FALSE(second->hasValueWithName("a"));
  EXPECT_EQ(second->stringValueWithName("a"), std::nullopt);
  EXPECT_EQ(second->intValueWithName("a"), 0);
  EXPECT_EQ((*subEntries)[0]->intValueWithName("a"), 1);
  list()[0] = PlistValue::integer(4);
  EXPECT_EQ((*subEntries)[0]->properties(), std::nullopt);
}

}  // namespace
}  // namespace zor::testing

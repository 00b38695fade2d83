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
  PlistDictionary& expertProperties() { return registry().findEntryNamed("Expert")->properties(); }
};

TEST_F(SubEntryTest, OneSubEntryPerDictionaryElement) {
  auto entry = expert();
  ASSERT_NE(entry, nullptr);
  auto subEntries = entry->subEntriesWithName("list");
  ASSERT_TRUE(subEntries.has_value());
  ASSERT_EQ(subEntries->size(), 2u);
  for (std::uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ((*subEntries)[i]->index(), i);
    EXPECT_EQ((*subEntries)[i]->subEntryName(), "list");
    EXPECT_EQ((*subEntries)[i]->intValueWithName("a"), static_cast<std::int32_t>(i + 1));
    EXPECT_EQ((*subEntries)[i]->ioKitHandle(), entry->ioKitHandle());
  }
}

TEST_F(SubEntryTest, NullOrEmptyForOtherShapes) {
  auto entry = expert();
  ASSERT_NE(entry, nullptr);
  struct Case {
    const char* property;
    bool isNull;
  };
  const Case cases[] = {
      {"mixed", true},  // the second element is a number
      {"text", true},   // a string property
      {"missing", true},
      {"empty", false},  // an empty array gives an empty list
  };
  for (const Case& c : cases) {
    auto subEntries = entry->subEntriesWithName(c.property);
    EXPECT_EQ(!subEntries.has_value(), c.isNull) << c.property;
    if (subEntries) {
      EXPECT_TRUE(subEntries->empty()) << c.property;
    }
  }
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

TEST_F(SubEntryTest, ShrunkArrayAnswersAsIfEmpty) {
  auto subEntries = expert()->subEntriesWithName("list");
  ASSERT_TRUE(subEntries && subEntries->size() == 2);
  expertProperties()["list"].asArray()->pop_back();
  const auto& second = (*subEntries)[1];
  EXPECT_EQ(second->properties(), std::nullopt);
  EXPECT_FALSE(second->hasValueWithName("a"));
  EXPECT_EQ(second->stringValueWithName("a"), std::nullopt);
  EXPECT_EQ(second->intValueWithName("a"), 0);
  EXPECT_EQ((*subEntries)[0]->intValueWithName("a"), 1);
  // An element that stopped being a dictionary reads as none too.
  (*expertProperties()["list"].asArray())[0] = PlistValue::integer(4);
  EXPECT_EQ((*subEntries)[0]->properties(), std::nullopt);
}

TEST_F(SubEntryTest, DescriptionNamesPropertyAndIndex) {
  expertProperties()["ranges"] = PlistValue(PlistArray{
      PlistValue(PlistDictionary{}), PlistValue(PlistDictionary{{"low", PlistValue::integer(2)}})});
  auto subEntries = expert()->subEntriesWithName("ranges");
  ASSERT_TRUE(subEntries && subEntries->size() == 2);
  std::string text = (*subEntries)[1]->description();
  EXPECT_EQ(text, "Sub-entry: ranges Index: 1: Contents {\n    low = 2;\n}\n");
  const std::string prefix = "Sub-entry: ranges Index: 1: Contents ";
  EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0);
}

TEST_F(SubEntryTest, UnnamedOrUnboundSubEntryHasNothing) {
  ZORIORegistrySubEntry unbound;
  EXPECT_EQ(unbound.subEntryName(), std::nullopt);
  EXPECT_EQ(unbound.index(), 0u);
  EXPECT_EQ(unbound.properties(), std::nullopt);
  EXPECT_EQ(unbound.intValueWithName("a"), 0);
  auto entry = expert();
  auto sub = std::make_shared<ZORIORegistrySubEntry>();
  EXPECT_FALSE(sub->initWithEntry(*entry, std::nullopt, 0));
  EXPECT_FALSE(sub->initWithEntry(ZORIORegistryEntry(), std::string("list"), 0));
}

}  // namespace
}  // namespace zor::testing

// Which stored widget instances make room for the one writing now.

#include "widget/StoredInstances.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zor::testing {
namespace {

PlistValue usedAt(double seconds) {
  return PlistValue::date(seconds);
}

TEST(StoredInstancesTest, TheLeastRecentlyUsedBeyondTheBoundAreForgotten) {
  struct Case {
    const char* what;
    PlistDictionary machine;
    std::string keep;
    std::vector<std::string> forgottenKeys;
  };
  const Case cases[] = {
      {"within the bound", {{"a:LastUsed", usedAt(1)}, {"b:LastUsed", usedAt(2)}}, "c", {}},
      {"the oldest makes room",
       {{"a:LastUsed", usedAt(5)},
        {"b:LastUsed", usedAt(2)},
        {"b:SensorIDForDisplayPosition1", "s0"},
        {"c:LastUsed", usedAt(9)}},
       "d",
       {"b:LastUsed", "b:SensorIDForDisplayPosition1"}},
      {"the one writing is kept however old",
       {{"a:LastUsed", usedAt(1)}, {"b:LastUsed", usedAt(2)}, {"c:LastUsed", usedAt(3)}},
       "a",
       {}},
      {"without a date an instance counts as the oldest",
       {{"a:LastUsed", usedAt(1)},
        {"b:SensorIndexForDisplayPosition2", PlistValue::integer(4)},
        {"c:LastUsed", usedAt(3)}},
       "d",
       {"b:SensorIndexForDisplayPosition2"}},
      {"a key belongs to the longest identifier it starts with",
       {{"x:LastUsed", usedAt(1)},
        {"x:SensorIDForDisplayPosition1", "s0"},
        {"x:y:LastUsed", usedAt(8)},
        {"x:y:SensorIDForDisplayPosition1", "s1"},
        {"z:LastUsed", usedAt(9)}},
       "w",
       {"x:LastUsed", "x:SensorIDForDisplayPosition1"}},
      {"keys of no instance stay",
       {{"IndexOfTemperatureUnit", PlistValue::integer(1)},
        {"SensorIDForDisplayPosition1", "s0"},
        {"a:LastUsed", usedAt(1)},
        {"a:Note", "mine"},
        {"b:LastUsed", usedAt(2)},
        {"c:LastUsed", usedAt(3)}},
       "d",
       {"a:LastUsed", "a:Note"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StoredInstances::Forgotten forgotten =
        StoredInstances::leastRecentlyUsed(c.machine, c.keep, 3);
    std::vector<std::string> keys = forgotten.keys;
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, c.forgottenKeys);
    EXPECT_EQ(forgotten.instances, c.forgottenKeys.empty() ? 0u : 1u);
  }
}

}  // namespace
}  // namespace zor::testing

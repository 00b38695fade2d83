// Which stored widget instances make room for the one writing now.

#include "widget/StoredInstances.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace zor::testing {
namespace {

// A machine's entry from words: "a@5" is instance a last used at 5 s, any
// other word a key of its own.
PlistDictionary machine(const std::string& words) {
  PlistDictionary entry;
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    const std::size_t at = word.find('@');
    const bool used = at != std::string::npos;
    entry[used ? word.substr(0, at) + ":LastUsed" : word] =
        used ? PlistValue::date(std::stod(word.substr(at + 1))) : PlistValue::integer(4);
  }
  return entry;
}

// At most three instances: the entry, the instance writing now, the keys forgotten.
TEST(StoredInstancesTest, TheLeastRecentlyUsedBeyondTheBoundAreForgotten) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"a@1 b@2", "c", ""},
      {"a@5 b@2 b:K c@9", "d", "b:K b:LastUsed"},
      {"a@1 b@2 c@3", "a", ""},  // the one writing is kept however old
      // Without a date an instance counts as the oldest.
      {"a@1 b:SensorIndexForDisplayPosition2 c@3", "d", "b:SensorIndexForDisplayPosition2"},
      // A key belongs to the longest identifier it starts with; keys of no instance stay.
      {"x@1 x:K x:y@8 x:y:K z@9", "w", "x:K x:LastUsed"},
      {"IndexOfTemperatureUnit SensorIDForDisplayPosition1 a@1 a:K b@2 c@3", "d", "a:K a:LastUsed"},
  };
  for (const auto& [entry, keep, forgottenKeys] : cases) {
    const StoredInstances::Forgotten forgotten =
        StoredInstances::leastRecentlyUsed(machine(entry), keep, 3);
    std::string joined;
    for (const std::string& key : std::set(forgotten.keys.begin(), forgotten.keys.end())) {
      joined += (joined.empty() ? "" : " ") + key;
    }
    EXPECT_EQ(joined, forgottenKeys) << entry;
    EXPECT_EQ(forgotten.instances, joined.empty() ? 0u : 1u) << entry;
  }
}

}  // namespace
}  // namespace zor::testing

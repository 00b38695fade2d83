#include "widget/StoredInstances.h"

#include <algorithm>
#include <limits>
#include <map>
#include <string_view>

namespace zor {
namespace {

// The keys that make an instance: its position choices (either form) and its use date.
constexpr std::string_view kInstanceKeys[] = {
    "SensorIDForDisplayPosition1", "SensorIDForDisplayPosition2", "SensorIndexForDisplayPosition1",
    "SensorIndexForDisplayPosition2", StoredInstances::kLastUsedKey};

}  // namespace

StoredInstances::Forgotten StoredInstances::leastRecentlyUsed(const PlistDictionary& machine,
                                                              const std::string& keep,
                                                              std::size_t maximum) {
  // Last use of every stored instance.
  std::map<std::string, double, std::less<>> lastUsed;
  for (const auto& [key, value] : machine) {
    for (std::string_view suffix : kInstanceKeys) {
      if (key.size() <= suffix.size() || !key.ends_with(suffix) ||
          key[key.size() - suffix.size() - 1] != ':') {
        continue;
      }
      const std::string identifier = key.substr(0, key.size() - suffix.size() - 1);
      double& used =
          lastUsed.try_emplace(identifier, -std::numeric_limits<double>::infinity()).first->second;
      if (suffix == kLastUsedKey) used = std::max(used, value.dateValue().value_or(used));
    }
  }
  lastUsed.erase(keep);
  Forgotten forgotten;
  const std::size_t others = maximum > 0 ? maximum - 1 : 0;
  if (lastUsed.size() <= others) return forgotten;

  std::vector<std::pair<double, std::string_view>> byAge;
  byAge.reserve(lastUsed.size());
  for (const auto& [identifier, used] : lastUsed) byAge.emplace_back(used, identifier);
  const std::size_t count = lastUsed.size() - others;
  std::partial_sort(byAge.begin(), byAge.begin() + static_cast<std::ptrdiff_t>(count), byAge.end());
  std::map<std::string, bool, std::less<>> forget;  // identifier -> forgotten
  for (const auto& [identifier, used] : lastUsed) forget.emplace(identifier, false);
  forget.emplace(keep, false);
  for (std::size_t i = 0; i < count; ++i) forget.find(byAge[i].second)->second = true;
  forgotten.instances = count;

  // A key belongs to the longest identifier it starts with, so forgetting
  // "a" keeps the keys of an instance named "a:b".
  for (const auto& [key, value] : machine) {
    for (std::size_t colon = key.rfind(':'); colon != std::string::npos && colon > 0;
         colon = key.rfind(':', colon - 1)) {
      auto owner = forget.find(std::string_view(key).substr(0, colon));
      if (owner == forget.end()) continue;
      if (owner->second) forgotten.keys.push_back(key);
      break;
    }
  }
  return forgotten;
}

}  // namespace zor

// SubEntryAdditions of ZORIORegistryEntry: splitting an array property of
// dictionaries into sub-entries. Kept apart from the entry itself because it
// builds on the sub-entry class.

#include "registry/ZORIORegistryEntry.h"
#include "registry/ZORIORegistrySubEntry.h"

namespace zor {

std::optional<ZORIORegistrySubEntryList> ZORIORegistryEntry::subEntriesWithName(
    const std::string& name) const {
  if (!hasValueWithName(name)) return std::nullopt;
  std::optional<PlistDictionary> all = properties();
  if (!all) return std::nullopt;
  auto it = all->find(name);
  if (it == all->end() || !it->second.isArray()) return std::nullopt;
  ZORIORegistrySubEntryList subEntries;
  std::uint32_t index = 0;
  for (const PlistValue& element : *it->second.asArray()) {
    if (!element.isDictionary()) return std::nullopt;
    auto subEntry = std::make_shared<ZORIORegistrySubEntry>();
    if (subEntry->initWithEntry(*this, name, index)) subEntries.push_back(std::move(subEntry));
    ++index;
  }
  return subEntries;
}

}  // namespace zor

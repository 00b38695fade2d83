#pragma once
// A view on one element of an array property of a registry entry whose
// elements are dictionaries: it answers the typed property questions from
// that one dictionary, read afresh from the registry each time, and converts
// nothing (a data value is no text; a missing or non-number value is 0).
// Every other operation works on the whole registry entry. Made by
// ZORIORegistryEntry::subEntriesWithName.

#include <cstdint>
#include <optional>
#include <string>

#include "registry/ZORIORegistryEntry.h"

namespace zor {

class ZORIORegistrySubEntry : public ZORIORegistryEntry {
 public:
  // `init`: no name, index 0, no handle.
  ZORIORegistrySubEntry() = default;

  // Takes its own reference on `entry`'s handle; false without a handle or name.
  bool initWithEntry(const ZORIORegistryEntry& entry,
                     const std::optional<std::string>& subEntryName, std::uint32_t index);

  const char* className() const override { return "ZORIORegistrySubEntry"; }

  // The element's dictionary, or null when there is no such element or it is
  // no dictionary (the array may have shrunk since).
  std::optional<PlistDictionary> properties() const override;
  bool hasValueWithName(const std::string& name) const override;
  std::optional<std::string> stringValueWithName(const std::string& name) const override;
  std::int32_t intValueWithName(const std::string& name) const override;
  // Always null: a sub-entry has no sub-entries.
  std::optional<ZORIORegistrySubEntryList> subEntriesWithName(
      const std::string& name) const override;
  // "Sub-entry: <name> Index: <index>: Contents <properties>\n".
  std::string description() const override;

  std::optional<std::string> subEntryName() const { return entryName_; }
  std::uint32_t index() const { return entryIndex_; }

 private:
  std::optional<std::string> entryName_;
  std::uint32_t entryIndex_ = 0;
};

}  // namespace zor

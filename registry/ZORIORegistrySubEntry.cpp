#include "registry/ZORIORegistrySubEntry.h"

#include "platform/StringFormat.h"
#include "registry/PropertyListText.h"

namespace zor {

bool ZORIORegistrySubEntry::initWithEntry(const ZORIORegistryEntry& entry,
                                          const std::optional<std::string>& subEntryName,
                                          std::uint32_t index) {
  if (!subEntryName) return false;
  if (!initWithIOKitHandle(entry.ioKitHandle())) return false;
  entryName_ = subEntryName;
  entryIndex_ = index;
  return true;
}

std::optional<PlistDictionary> ZORIORegistrySubEntry::properties() const {
  if (!entryName_) return std::nullopt;
  std::optional<PlistArray> elements = arrayValueWithName(*entryName_);
  if (!elements || entryIndex_ >= elements->size()) return std::nullopt;
  PlistValue& element = (*elements)[entryIndex_];
  if (!element.isDictionary()) return std::nullopt;
  return std::move(*element.asDictionary());
}

bool ZORIORegistrySubEntry::hasValueWithName(const std::string& name) const {
  std::optional<PlistDictionary> element = properties();
  return element && element->count(name) != 0;
}

std::optional<std::string> ZORIORegistrySubEntry::stringValueWithName(
    const std::string& name) const {
  std::optional<PlistDictionary> element = properties();
  if (!element) return std::nullopt;
  auto it = element->find(name);
  if (it == element->end() || !it->second.isString()) return std::nullopt;
  return *it->second.asString();
}

std::int32_t ZORIORegistrySubEntry::intValueWithName(const std::string& name) const {
  std::optional<PlistDictionary> element = properties();
  if (!element) return 0;
  auto it = element->find(name);
  if (it == element->end() || !it->second.isNumber()) return 0;
  std::optional<std::int64_t> number = it->second.integerValue();
  if (!number) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(*number)));
}

std::optional<ZORIORegistrySubEntryList> ZORIORegistrySubEntry::subEntriesWithName(
    const std::string& /*name*/) const {
  return std::nullopt;
}

std::string ZORIORegistrySubEntry::description() const {
  std::optional<PlistDictionary> element = properties();
  std::string contents = textOfPropertyList(nullptr);
  if (element) {
    const PlistValue shown(std::move(*element));
    contents = textOfPropertyList(&shown);
  }
  return formatString("Sub-entry: %s Index: %u: Contents %s\n",
                      entryName_ ? entryName_->c_str() : "(null)", entryIndex_, contents.c_str());
}

}  // namespace zor

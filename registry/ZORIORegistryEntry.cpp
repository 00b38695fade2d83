#include "registry/ZORIORegistryEntry.h"

#include <algorithm>

#include "platform/IOKit.h"
#include "platform/IOKitBackend.h"
#include "registry/PropertyListText.h"

namespace zor {

using namespace iokit;

namespace {

bool isValidUtf8(const std::uint8_t* bytes, std::size_t length) {
  std::size_t i = 0;
  while (i < length) {
    std::uint8_t lead = bytes[i];
    std::size_t extra = 0;
    if (lead < 0x80) {
      extra = 0;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
      extra = 1;
    } else if ((lead & 0xf0) == 0xe0) {
      extra = 2;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
      extra = 3;
    } else {
      return false;
    }
    if (extra > length - i - 1) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((bytes[i + k] & 0xc0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::string textOfDataProperty(const PlistData& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  std::size_t length = static_cast<std::size_t>(end - bytes.begin());
  if (isValidUtf8(bytes.data(), length)) return std::string(bytes.begin(), end);
  std::string text;
  for (auto it = bytes.begin(); it != end; ++it) {
    if (*it < 0x80) {
      text.push_back(static_cast<char>(*it));
    } else {
      text.push_back(static_cast<char>(0xc0 | (*it >> 6)));
      text.push_back(static_cast<char>(0x80 | (*it & 0x3f)));
    }
  }
  return text;
}

ZORIORegistryEntry::~ZORIORegistryEntry() = default;

bool ZORIORegistryEntry::initWithIOKitHandle(std::uint32_t handle) {
  if (handle == 0 || ioKitHandle_ != 0) return false;
  if (IOObjectRetain(handle) != kIOReturnSuccess) return false;
  ioKitHandle_ = handle;
  reference_ = IOReference::adoptObject(handle);
  return true;
}

std::shared_ptr<ZORIORegistryEntry> ZORIORegistryEntry::entryWithIOKitHandle(std::uint32_t handle) {
  auto entry = std::make_shared<ZORIORegistryEntry>();
  return entry->initWithIOKitHandle(handle) ? entry : nullptr;
}

std::optional<ZORIORegistryEntryList> ZORIORegistryEntry::serviceObjectsMatchingName(
    const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  ZORIORegistryEntryList entries;
  io_iterator_t iterator = 0;
  if (IOServiceGetMatchingServices(kIOMasterPortDefault, IOServiceMatching(name->c_str()),
                                   &iterator) != kIOReturnSuccess) {
    return entries;
  }
  while (io_object_t service = IOIteratorNext(iterator)) {
    if (auto entry = entryWithIOKitHandle(service)) entries.push_back(std::move(entry));
    IOObjectRelease(service);
  }
  IOObjectRelease(iterator);
  return entries;
}

std::shared_ptr<ZORIORegistryEntry> ZORIORegistryEntry::registryEntryInPlane(
    const std::optional<std::string>& plane, const std::optional<std::string>& absolutePath) {
  if (!plane || !absolutePath) return nullptr;
  std::string joined = *plane + ":" + *absolutePath;
  io_registry_entry_t handle = IORegistryEntryFromPath(kIOMasterPortDefault, joined.c_str());
  if (handle == 0) return nullptr;
  auto entry = entryWithIOKitHandle(handle);
  IOObjectRelease(handle);
  return entry;
}

std::optional<std::string> ZORIORegistryEntry::driverClassName() const {
  if (ioKitHandle_ == 0) return std::nullopt;
  io_registry_entry_t current = ioKitHandle_;
  bool ownsCurrent = false;  // the entry's own handle keeps its reference
  while (!IORegistryEntryCreateCFProperty(current, kCFBundleIdentifierKey)) {
    io_registry_entry_t parent = 0;
    kern_return_t result = IORegistryEntryGetParentEntry(current, kIOServicePlane, &parent);
    if (ownsCurrent) IOObjectRelease(current);
    if (result != kIOReturnSuccess || parent == 0) return std::nullopt;
    current = parent;
    ownsCurrent = true;
  }
  std::optional<PlistValue> driverClass = IORegistryEntryCreateCFProperty(current, "IOClass");
  if (ownsCurrent) IOObjectRelease(current);
  if (!driverClass || !driverClass->isString()) return std::nullopt;
  return *driverClass->asString();
}

std::shared_ptr<ZORIORegistryEntry> ZORIORegistryEntry::parentServiceEntry() const {
  if (ioKitHandle_ == 0) return nullptr;
  io_registry_entry_t parent = 0;
  if (IORegistryEntryGetParentEntry(ioKitHandle_, kIOServicePlane, &parent) != kIOReturnSuccess ||
      parent == 0) {
    return nullptr;
  }
  auto entry = entryWithIOKitHandle(parent);
  IOObjectRelease(parent);
  return entry;
}

std::shared_ptr<ZORIORegistryEntry> ZORIORegistryEntry::childServiceEntry() const {
  if (ioKitHandle_ == 0) return nullptr;
  io_registry_entry_t child = 0;
  if (IORegistryEntryGetChildEntry(ioKitHandle_, kIOServicePlane, &child) != kIOReturnSuccess ||
      child == 0) {
    return nullptr;
  }
  auto entry = entryWithIOKitHandle(child);
  IOObjectRelease(child);
  return entry;
}

std::optional<PlistDictionary> ZORIORegistryEntry::properties() const {
  if (ioKitHandle_ == 0) return std::nullopt;
  PlistDictionary all;
  if (IORegistryEntryCreateCFProperties(ioKitHandle_, &all) != kIOReturnSuccess) {
    return std::nullopt;
  }
  return all;
}

bool ZORIORegistryEntry::hasValueWithName(const std::string& name) const {
  if (ioKitHandle_ == 0) return false;
  return IORegistryEntryCreateCFProperty(ioKitHandle_, name).has_value();
}

std::optional<std::string> ZORIORegistryEntry::stringValueWithName(const std::string& name) const {
  if (ioKitHandle_ == 0) return std::nullopt;
  std::optional<PlistValue> value = IORegistryEntryCreateCFProperty(ioKitHandle_, name);
  if (!value) return std::nullopt;
  if (const std::string* text = value->asString()) return *text;
  if (const PlistData* bytes = value->asData()) return textOfDataProperty(*bytes);
  return std::nullopt;
}

std::int32_t ZORIORegistryEntry::intValueWithName(const std::string& name) const {
  if (ioKitHandle_ == 0) return -1;
  std::optional<PlistValue> value = IORegistryEntryCreateCFProperty(ioKitHandle_, name);
  if (!value || !value->isNumber()) return -1;
  std::optional<std::int64_t> number = value->integerValue();
  if (!number) return -1;
  // Truncation keeps the low 32 bits, done in unsigned arithmetic.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(*number)));
}

std::optional<PlistArray> ZORIORegistryEntry::arrayValueWithName(const std::string& name) const {
  if (ioKitHandle_ == 0) return std::nullopt;
  std::optional<PlistValue> value = IORegistryEntryCreateCFProperty(ioKitHandle_, name);
  if (!value || !value->isArray()) return std::nullopt;
  return std::move(*value->asArray());
}

std::string ZORIORegistryEntry::description() const {
  std::optional<PlistDictionary> all = properties();
  if (!all) return std::string(className()) + ": " + textOfPropertyList(nullptr) + "\n";
  const PlistValue shown(std::move(*all));
  return std::string(className()) + ": " + textOfPropertyList(&shown) + "\n";
}

}  // namespace zor

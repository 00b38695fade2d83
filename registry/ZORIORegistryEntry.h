#pragma once
// The system's handle on one entry of the hardware registry: it holds one
// reference on the entry's registry handle and answers typed questions about
// the entry's properties, reading the registry afresh on every call. Every
// hardware source of the sensor library finds its devices through it (by
// service class, by path, by walking to parent or child); sensor entries and
// sub-entries derive from it. Failures are silent: null, false or -1.
//
// Objects are made in two steps: make_shared, then an init... call that
// subclasses override; the static factories do both and give null on failure.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IOKitBackend.h"
#include "platform/IOReference.h"
#include "platform/PropertyList.h"

namespace zor {

class ZORIORegistryEntry;
class ZORIORegistrySubEntry;
using ZORIORegistryEntryList = std::vector<std::shared_ptr<ZORIORegistryEntry>>;
using ZORIORegistrySubEntryList = std::vector<std::shared_ptr<ZORIORegistrySubEntry>>;

class ZORIORegistryEntry {
 public:
  // `init`: an entry with handle 0.
  ZORIORegistryEntry() = default;
  virtual ~ZORIORegistryEntry();
  ZORIORegistryEntry(const ZORIORegistryEntry&) = delete;
  ZORIORegistryEntry& operator=(const ZORIORegistryEntry&) = delete;

  // The services of registry class `name` in registry order (possibly none);
  // nothing when the name is null.
  static std::optional<ZORIORegistryEntryList> serviceObjectsMatchingName(
      const std::optional<std::string>& name);
  // The entry at `path` in `plane` ("IODeviceTree", "/rom"), or null.
  static std::shared_ptr<ZORIORegistryEntry> registryEntryInPlane(
      const std::optional<std::string>& plane, const std::optional<std::string>& absolutePath);
  // make_shared + initWithIOKitHandle; null for handle 0.
  static std::shared_ptr<ZORIORegistryEntry> entryWithIOKitHandle(std::uint32_t handle);

  // Keeps the handle with a reference of its own (the caller's stays the
  // caller's); false for handle 0 or a handle that cannot be retained.
  virtual bool initWithIOKitHandle(std::uint32_t handle);

  std::uint32_t ioKitHandle() const { return ioKitHandle_; }
  // The name of this object's class, as descriptions show it.
  virtual const char* className() const { return "ZORIORegistryEntry"; }

  // "IOClass" of the nearest entry at or above this one (service plane) that
  // carries a bundle identifier; null when there is none or it is no string.
  std::optional<std::string> driverClassName() const;
  std::shared_ptr<ZORIORegistryEntry> parentServiceEntry() const;
  std::shared_ptr<ZORIORegistryEntry> childServiceEntry() const;

  virtual std::optional<PlistDictionary> properties() const;
  virtual bool hasValueWithName(const std::string& name) const;
  // A string property, or a data property read as text up to its first zero
  // byte (never past the block); null for other types or none.
  virtual std::optional<std::string> stringValueWithName(const std::string& name) const;
  // A number truncated to signed 32 bits; -1 for anything else or none.
  virtual std::int32_t intValueWithName(const std::string& name) const;
  std::optional<PlistArray> arrayValueWithName(const std::string& name) const;
  // "<class name>: <properties>\n".
  virtual std::string description() const;

  // SubEntryAdditions: one sub-entry per element of an array property of
  // dictionaries; null when the property is missing, not an array, or holds
  // a non-dictionary element.
  virtual std::optional<ZORIORegistrySubEntryList> subEntriesWithName(
      const std::string& name) const;

 private:
  std::uint32_t ioKitHandle_ = 0;
  iokit::IOReference reference_;  // given back to the machine it came from
};

// The bytes of a data property as text: up to the first zero byte or the end
// of the block. The platform's C-string encoding is UTF-8; a block that is no
// valid UTF-8 is read as ISO Latin 1, so every byte still gives a character.
std::string textOfDataProperty(const PlistData& bytes);

}  // namespace zor

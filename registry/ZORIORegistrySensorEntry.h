#pragma once
// A registry entry known to describe one hardware sensor (or control) of an
// older machine: it carries "type", "sensor-id" (or "control-id"),
// "location" and "current-value". Before each reading it asks the driver for
// a fresh value by writing the driver's refresh property. Used by the
// IOHWSensor-based and G5 sensor classes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/ZORIORegistryEntry.h"

namespace zor {

class ZORIORegistrySensorEntry;
using ZORIORegistrySensorEntryList = std::vector<std::shared_ptr<ZORIORegistrySensorEntry>>;

class ZORIORegistrySensorEntry : public ZORIORegistryEntry {
 public:
  // Class-load hook: rebuilds the refresh property's name. Until it has run,
  // readings are taken without the refresh request.
  static void load();
  // The refresh property's name; "" before load().
  static const std::string& enforcementPropertyName();

  // The sensor entries of service class `serviceName` whose "type" equals
  // `typeName` exactly (any type when null, none when empty); controls carry
  // "control-id" instead of "sensor-id". Null when the service name is null.
  static std::optional<ZORIORegistrySensorEntryList> sensorEntriesMatchingServiceName(
      const std::optional<std::string>& serviceName, const std::optional<std::string>& typeName,
      bool control);

  const char* className() const override { return "ZORIORegistrySensorEntry"; }

  // Same as the next with "sensor-id".
  bool initWithIOKitHandle(std::uint32_t handle) override;
  // False unless the entry has "type", the identifier property, "location"
  // and "current-value".
  bool initWithIOKitHandle(std::uint32_t handle,
                           const std::optional<std::string>& verifyingServiceMatchString);

  std::int32_t sensorIdentificationNumber() const;
  std::optional<std::string> locationIdentification() const;
  std::optional<std::string> sensorTypeName() const;
  // "current-value" after the refresh request, read a second time when the
  // first read is negative; -1 for no reading.
  std::int32_t sensorValue() const;
  std::int32_t unenforcedSensorValue() const;
};

}  // namespace zor

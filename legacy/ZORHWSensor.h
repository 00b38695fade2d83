#pragma once
// What the sensors read from IOHWSensor-style registry services have in
// common: they hold the service's sensor entry, are identified as
// "hwsensor.<driver class>.<sensor-id>", sit at the service's "location",
// and read the entry's refreshed "current-value". The temperature, diode,
// converter and G5 processor sensors derive from it and add what their
// driver tables give.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "registry/ZORIORegistrySensorEntry.h"
#include "sensors/ZORSensor.h"

namespace zor {

class ZORHWSensor : public ZORSensor {
 public:
  // The sensor entries of "IOHWSensor" services of type `typeName`, in registry order.
  static ZORIORegistrySensorEntryList sensorEntriesOfType(const char* typeName);

  const std::shared_ptr<ZORIORegistrySensorEntry>& sensorEntry() const { return sensorEntry_; }

  // The entry's refreshed reading; -1 without an entry or reading.
  std::int32_t rawValue() override;

 protected:
  // Holds `entry` and sets the unique identifier, location identifier and
  // sensor type 1. Gives the driver class name of the entry's parent service
  // (null when it has none); false for a null entry.
  bool adoptSensorEntry(const std::shared_ptr<ZORIORegistrySensorEntry>& entry,
                        std::optional<std::string>* driverClassName);
  // The driver class name as identifiers and descriptions print it.
  static std::string printedDriverClassName(const std::optional<std::string>& driverClassName);
  // A name looked up in the main bundle's default string table; the key when untranslated.
  static std::string localizedSensorName(const std::string& key);

 private:
  std::shared_ptr<ZORIORegistrySensorEntry> sensorEntry_;
};

}  // namespace zor

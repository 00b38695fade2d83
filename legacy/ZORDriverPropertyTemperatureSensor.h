#pragma once
// A temperature that a platform driver publishes as one plain integer
// property of its own registry entry, rather than as an IOHWSensor service:
// the processor-board thermometer of the mirrored-drive-door towers and the
// ambient sensor of the Xserve's LM87 monitor. The two are twins; each fixes
// its service class, property, identity and scale in a table, and this class
// does the rest. The property is read afresh on every reading.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "sensors/ZORSensor.h"

namespace zor {

class ZORDriverPropertyTemperatureSensor : public ZORSensor {
 public:
  // What one twin reads and how it names itself.
  struct Table {
    const char* serviceClass;
    const char* property;
    const char* uniqueIdentifier;
    const char* locationIdentifier;
    const char* sensorName;
    double precision;
    double accuracy;
    std::int32_t conversionFunctionType;  // 0: whole degrees, 1: times linearFactor
    double linearFactor;
  };

  // `init`: quantity type 1, no entry.
  explicit ZORDriverPropertyTemperatureSensor(const Table& table);

  const Table& table() const { return table_; }
  const std::shared_ptr<ZORIORegistryEntry>& sensorEntry() const { return sensorEntry_; }

  // False for a null entry or one without the table's property.
  bool initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);
  // The property as a signed 32-bit integer; -1 when it is missing or no number.
  std::int32_t rawValue() override;
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::string unit() const override { return "C"; }

 protected:
  // One sensor of class `Sensor` per service of the table's class that has
  // the table's property, in registry order.
  template <class Sensor>
  static std::vector<std::shared_ptr<ZORSensor>> sensorsOfTwin(const Table& table) {
    std::vector<std::shared_ptr<ZORSensor>> sensors;
    for (const auto& service : servicesWithProperty(table)) {
      auto sensor = std::make_shared<Sensor>();
      if (sensor->initWithIORegistryEntry(service)) sensors.push_back(std::move(sensor));
    }
    return sensors;
  }

 private:
  static ZORIORegistryEntryList servicesWithProperty(const Table& table);

  const Table& table_;
  std::shared_ptr<ZORIORegistryEntry> sensorEntry_;
};

}  // namespace zor

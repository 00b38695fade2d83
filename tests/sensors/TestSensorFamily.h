#pragma once
// Sensor families of the tests: a sensor whose reading, converter and unit
// the test sets, and class objects whose searches return what the test put
// in. Registered inside a ScopedSensorClassRegistry.

#include <memory>
#include <string>
#include <vector>

#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorClass.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor::testing {

class TestSensor : public ZORSensor {
 public:
  static std::shared_ptr<TestSensor> make(const std::string& uniqueID, const std::string& location,
                                          std::int32_t quantityType, std::int32_t raw = 0,
                                          const std::string& unit = "C", double precision = 0.1) {
    auto sensor = std::make_shared<TestSensor>();
    sensor->setUniqueIdentifier(uniqueID);
    sensor->setLocationIdentifier(location);
    sensor->setSensorName("test " + uniqueID);
    sensor->setSensorType(1);
    sensor->setQuantityType(quantityType);
    sensor->setPrecision(precision, 0.5);
    sensor->raw = raw;
    sensor->unitText = unit;
    return sensor;
  }
  static const ZORSensorClass& testClassObject() {
    static const ZORSensorClass object{"ZORTestSensor", nullptr};
    return object;
  }
  const ZORSensorClass& sensorClass() const override { return testClassObject(); }
  std::int32_t rawValue() override {
    ++reads;
    return raw;
  }
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override {
    return converter ? converter->copy() : std::make_shared<ZORSensorValueConverter>();
  }
  std::string unit() const override { return unitText; }
  std::string hardwareIdentity() const override { return hardware; }

  std::int32_t raw = 0;
  int reads = 0;
  std::string unitText = "C";
  std::string hardware;
  std::shared_ptr<ZORSensorValueConverter> converter;
};

// A family whose search hands out the sensors a test put in `sensors`.
struct TestFamily {
  explicit TestFamily(std::string className) {
    object.name = std::move(className);
    object.allSensors = [this] {
      ++searches;
      return sensors;
    };
  }
  TestFamily(const TestFamily&) = delete;
  TestFamily& operator=(const TestFamily&) = delete;

  ZORSensorClass object;
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  int searches = 0;
};

}  // namespace zor::testing

#pragma once
// While alive, the sensor-class registry is a fresh, empty one; the previous
// registry comes back when it ends. Tests and benchmarks register their own
// sensor families inside one, so families never leak from one test to the next.

#include "sensors/ZORSensor.h"

namespace zor {

class ScopedSensorClassRegistry {
 public:
  ScopedSensorClassRegistry();
  ~ScopedSensorClassRegistry();
  ScopedSensorClassRegistry(const ScopedSensorClassRegistry&) = delete;
  ScopedSensorClassRegistry& operator=(const ScopedSensorClassRegistry&) = delete;

 private:
  ZORSensor::ClassRegistry own_;
  ZORSensor::ClassRegistry* previous_;
};

}  // namespace zor

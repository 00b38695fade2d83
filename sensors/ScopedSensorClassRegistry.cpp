#include "sensors/ScopedSensorClassRegistry.h"

namespace zor {

ScopedSensorClassRegistry::ScopedSensorClassRegistry() : previous_(ZORSensor::registry()) {
  ZORSensor::registry() = &own_;
}

ScopedSensorClassRegistry::~ScopedSensorClassRegistry() {
  ZORSensor::registry() = previous_;
}

}  // namespace zor

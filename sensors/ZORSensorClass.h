#pragma once
// The class object of one sensor family: its class name and the class
// operations a family overrides. Each family keeps one as a function-local
// static and registers it with ZORSensor (or only declares it, when its
// sensors are found by class name or made by another family). Used by the
// sensor registry, the plug-in load function and the sensor families.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zor {

class ZORSensor;

struct ZORSensorClass {
  // The class name ("ZORSMARTTemperatureSensor"); sensors of the family
  // describe themselves with it and the registry finds classes by it.
  std::string name;
  // The sensors of this family present on the machine now, each call new
  // objects; required for every registered class.
  std::function<std::vector<std::shared_ptr<ZORSensor>>()> allSensors;
};

}  // namespace zor

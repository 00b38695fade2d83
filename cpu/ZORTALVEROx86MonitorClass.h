#pragma once
// The class object of the CPU-monitor sensor and of each processor-family
// variant: the sensor-class record (name and discovery) plus the class
// operations that a variant may override and a way to make an object of
// the class. Discovery finds a variant by its class name in variants(), an
// explicit table; nothing is looked up by building symbols. Used by
// ZORTALVEROx86Monitor and its variants.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sensors/ZORSensorClass.h"

namespace zor {

class ZORTALVEROx86Monitor;

struct ZORTALVEROx86MonitorClass {
  // Name ("ZORTALVEROx86MonitorCPU67184") and the inherited discovery.
  ZORSensorClass sensorClass;
  // A new object of the class after `init`, before either initialiser.
  std::shared_ptr<ZORTALVEROx86Monitor> (*make)();
  // Whether core temperatures are read for a processor with this brand string.
  bool (*isSupportingTemperatureSensingForBrandString)(const std::string& brand);

  const std::string& name() const { return sensorClass.name; }

  // The processor-family variants, each found by its class name.
  static std::span<const ZORTALVEROx86MonitorClass* const> variants();
  // The variant named `name`, or null.
  static const ZORTALVEROx86MonitorClass* variantNamed(std::string_view name);
};

}  // namespace zor

#pragma once
// A controller over a test sensor family with fake bundle and measurer.

#include <gtest/gtest.h>

#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {

class ControllerFixture : public ::testing::Test {
 protected:
  ControllerFixture() { ZORSensor::registerSensorClass(family.object); }

  std::shared_ptr<PluginController> makeController() {
    auto controller = std::make_shared<PluginController>();
    EXPECT_TRUE(controller->init());
    return controller;
  }
  // A sensor whose value is its raw value times `factor` (0: no converter).
  std::shared_ptr<TestSensor> add(const std::string& id, const std::string& location,
                                  std::int32_t quantity, std::int32_t raw = 0,
                                  const std::string& unit = "C", double precision = 0.1,
                                  double factor = 0) {
    auto sensor = TestSensor::make(id, location, quantity, raw, unit, precision);
    if (factor != 0) {
      sensor->converter = std::make_shared<ZORSensorValueConverter>();
      sensor->converter->setConversionFunctionType(1);
      sensor->converter->setLinearFactor(factor);
    }
    family.sensors.push_back(sensor);
    return sensor;
  }

  ScopedSensorClassRegistry registryScope;
  ScopedWidgetFakes fakes;
  TestFamily family{"ZORTestFamily"};
};

}  // namespace zor::testing

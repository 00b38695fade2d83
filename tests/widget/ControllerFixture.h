#pragma once
// A controller over test sensor families with fake bundle and measurer.

#include <gtest/gtest.h>

#include <memory>

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
  std::shared_ptr<TestSensor> add(const std::string& id, const std::string& location,
                                  std::int32_t quantity, std::int32_t raw = 0,
                                  const std::string& unit = "C", double precision = 0.1) {
    auto sensor = TestSensor::make(id, location, quantity, raw, unit, precision);
    family.sensors.push_back(sensor);
    return sensor;
  }

  ScopedSensorClassRegistry registryScope;
  ScopedWidgetFakes fakes;
  TestFamily family{"ZORTestFamily"};
};

}  // namespace zor::testing

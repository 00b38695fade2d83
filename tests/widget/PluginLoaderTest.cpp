#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/PluginLoader.h"
#include "sensors/ZORSensor.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor {
namespace {

TEST(PluginLoaderTest, HooksRunInClassLoadOrder) {
  std::vector<std::string> order;
  for (const PluginLoadHook& hook : pluginLoadHooks()) order.push_back(hook.className);
  EXPECT_EQ(order, (std::vector<std::string>{
                       "ZORSensor", "ZORAnalogDigitalConverter", "ZORHWTempDiodeSensor",
                       "ZORHWTemperatureSensor", "ZORMDDTemperatureSensor",
                       "ZORSMARTTemperatureSensor", "ZORXserveTemperatureSensor",
                       "ZORTALVEROx86Monitor", "ZORSMCTemperatureSensor", "ZORHwmonSensor",
                       "PluginController", "ZORIORegistrySensorEntry", "ZORTALVEROx86Monitor"}));
  EXPECT_NE(pluginLoadHooks().front().run, nullptr) << "the registry comes first";
}

TEST(PluginLoaderTest, LoadingTwiceChangesNothing) {
  testing::ScopedWidgetFakes fakes;
  loadPlugin();
  std::size_t classes = ZORSensor::knownSensorClasses().size();
  std::string ellipsis = PluginController::ellipsis();
  loadPlugin();
  EXPECT_EQ(ZORSensor::knownSensorClasses().size(), classes) << "no family registers twice";
  EXPECT_EQ(PluginController::ellipsis(), ellipsis);
  EXPECT_EQ(ellipsis, "\u2026") << "the ellipsis comes from the plug-in's string table";
}

}  // namespace
}  // namespace zor

#include "plugin/PluginLoader.h"

#include <gtest/gtest.h>

#include "sensors/ZORSensor.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor {
namespace {

TEST(PluginLoaderTest, LoadingTwiceChangesNothing) {
  testing::ScopedWidgetFakes fakes;
  EXPECT_EQ(pluginLoadHooks().front().className, std::string("ZORSensor"))
      << "the registry comes first";
  loadPlugin();
  const std::size_t classes = ZORSensor::knownSensorClasses().size();
  loadPlugin();
  EXPECT_EQ(ZORSensor::knownSensorClasses().size(), classes) << "no family registers twice";
  EXPECT_EQ(PluginController::ellipsis(), "\u2026") << "from the plug-in's string table";
}

}  // namespace
}  // namespace zor

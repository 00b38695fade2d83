#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Bundle.h"
#include "platform/TextMeasurer.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "widget/PluginController.h"

namespace zor {
namespace {

// The controller over the real plug-in bundle (the built-in resources) and
// the FreeType measurer, as the programs run it.
class PlatformServicesTest : public ::testing::Test {
 protected:
  PlatformServicesTest() {
    Bundle::setPluginBundle(nullptr);
    TextMeasurer::setCurrent(nullptr);
    controller = std::make_shared<PluginController>();
    controller->init();
  }
  ScopedSensorClassRegistry registryScope;
  std::shared_ptr<PluginController> controller;
};

TEST_F(PlatformServicesTest, TextsComeFromTheBuiltInResources) {
  EXPECT_EQ(controller->localizedStatusMessage(), "No accessible sensors found");
  const PlistValue* version = nullptr;
  auto found = Bundle::pluginBundle().infoDictionary().find("CFBundleShortVersionString");
  if (found != Bundle::pluginBundle().infoDictionary().end()) version = &found->second;
  ASSERT_NE(version, nullptr);
  ASSERT_NE(version->asString(), nullptr);
  EXPECT_EQ(controller->localizedVersionMessage(), "Version: " + *version->asString());
  EXPECT_EQ(controller->localizedURLForMasterApplication().rfind("https://", 0), 0u);
}

TEST_F(PlatformServicesTest, ShortenedNameIsTheLongestPrefixThatFits) {
  const std::string name = "Northbridge Heatsink Proximity Position";
  TextMeasurer& measurer = TextMeasurer::current();
  const Font& font = controller->labelFont();
  float full = measurer.widthOfText(name, font);
  ASSERT_GT(full, 0.0f);
  float limit = full / 2;
  controller->setMaximumSensorNameWidth(limit);
  auto pruned = controller->prunedSensorNameForName(name);
  ASSERT_TRUE(pruned.has_value());
  const std::string& ellipsis = PluginController::ellipsis();
  ASSERT_TRUE(pruned->ends_with(ellipsis));
  std::string kept = pruned->substr(0, pruned->size() - ellipsis.size());
  ASSERT_TRUE(name.starts_with(kept));
  EXPECT_LE(measurer.widthOfText(*pruned, font), limit);
  // One more character would not have fitted.
  EXPECT_GT(measurer.widthOfText(name.substr(0, kept.size() + 1) + ellipsis, font), limit);
}

}  // namespace
}  // namespace zor

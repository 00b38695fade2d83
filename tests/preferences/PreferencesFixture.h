#pragma once
// The widget's stored choices end to end: controllers over test sensors on a
// machine with a serial number, writing to a real preferences folder of their
// own, at a fixed time. Used by the preferences and own-settings tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/UserDefaults.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "services/TestSupport.h"
#include "system/SystemTestMachine.h"
#include "widget/PluginController.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {

constexpr const char* kDomain = "org.test.widget";
constexpr const char* kSerial = "W89201ZX1AQ";
constexpr double kNow = 1.0e9;
// The property-list date of kNow, which every write stamps as its instance's last use.
inline const PlistValue kUsedNow = PlistValue::date(kNow - 978307200.0);

class PreferencesFixture : public ::testing::Test {
 protected:
  PreferencesFixture() {
    ZORSensor::registerSensorClass(family_.object);
    fakes_.bundle->info["CFBundleIdentifier"] = kDomain;
    UserDefaults::setPreferencesDirectory(folder_.path());
    install(kSerial);
  }
  ~PreferencesFixture() override { UserDefaults::setPreferencesDirectory(""); }

  void install(const std::string& serial) {
    machine_.reset();
    machine_ = std::make_unique<InstalledMachine>(profileWithServices(
        {entry("IOPlatformExpertDevice", "Expert", {{"IOPlatformSerialNumber", text(serial)}})}));
  }
  std::shared_ptr<PluginController> controller(const std::optional<std::string>& identifier = {}) {
    auto made = std::make_shared<PluginController>();
    EXPECT_TRUE(made->init());
    if (identifier) made->setWidgetIdentifier(*identifier);
    return made;
  }
  std::string path() const { return folder_.file(std::string(kDomain) + ".plist"); }
  // A fresh folder holding `contents`, or nothing.
  void write(const std::optional<PlistDictionary>& contents) {
    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directory(folder_.path());
    if (contents) {
      ASSERT_TRUE(writePropertyListFile(path(), PlistValue(*contents), PlistFormat::XML));
    }
  }
  // The whole file when something wrote it (every write takes the file's lock), else nothing.
  std::optional<PlistDictionary> written() const {
    if (!std::filesystem::exists(path() + ".lock")) return std::nullopt;
    auto value = readPropertyListFile(path());
    EXPECT_TRUE(value && value->isDictionary());
    return value && value->asDictionary() ? *value->asDictionary() : PlistDictionary();
  }

  ScopedTempDirectory folder_;
  ScopedManualClock clock_{kNow};
  ScopedSensorClassRegistry registryScope_;
  ScopedWidgetFakes fakes_;
  TestFamily family_{"ZORTestFamily"};
  std::unique_ptr<InstalledMachine> machine_;
};

}  // namespace zor::testing

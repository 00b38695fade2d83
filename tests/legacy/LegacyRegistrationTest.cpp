// The legacy families' places among the plug-in's class-load hooks, and the
// registry's "all sensors but the disks" question.

#include <gtest/gtest.h>

#include "plugin/PluginLoader.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

TEST(LegacyRegistrationTest, FamiliesHaveTheirSlotsInLoadOrderAndTheDisksCanBeLeftOut) {
  std::vector<std::string> slots;
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (std::string(hook.what) == "register sensor class") slots.push_back(hook.className);
  }
  EXPECT_EQ(slots, (std::vector<std::string>{"ZORAnalogDigitalConverter", "ZORHWTempDiodeSensor",
                                             "ZORHWTemperatureSensor", "ZORMDDTemperatureSensor",
                                             "ZORSMARTTemperatureSensor",
                                             "ZORXserveTemperatureSensor", "ZORTALVEROx86Monitor",
                                             "ZORSMCTemperatureSensor", "ZORHwmonSensor"}));
  // Families standing in by name, one sensor each, listed in registration order.
  ScopedSensorClassRegistry scope;
  std::vector<ZORSensorClass> families;
  for (const char* name : {"ZORMDDTemperatureSensor", "ZORSMARTTemperatureSensor", "ZORHWSensor"}) {
    families.push_back({name, [name] {
                          auto sensor = std::make_shared<ZORSensor>();
                          sensor->setUniqueIdentifier(name);
                          return std::vector<std::shared_ptr<ZORSensor>>{sensor};
                        }});
  }
  for (const ZORSensorClass& family : families) ZORSensor::registerSensorClass(family);
  auto identifiers = [](const std::vector<std::shared_ptr<ZORSensor>>& sensors) {
    std::string text;
    for (const auto& sensor : sensors) text += sensor->uniqueIdentifier() + " ";
    return text;
  };
  EXPECT_EQ(identifiers(ZORSensor::allSensors()),
            "ZORMDDTemperatureSensor ZORSMARTTemperatureSensor ZORHWSensor ");
  EXPECT_EQ(identifiers(ZORSensor::allNonSMARTSensors()), "ZORMDDTemperatureSensor ZORHWSensor ");
}

}  // namespace
}  // namespace zor::testing

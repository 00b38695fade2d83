// The legacy families' places among the plug-in's class-load hooks, and what
// the registry's "all sensors" questions make of them.

#include <gtest/gtest.h>

#include <algorithm>

#include "legacy/ZORAnalogDigitalConverter.h"
#include "legacy/ZORHWTempDiodeSensor.h"
#include "legacy/ZORHWTemperatureSensor.h"
#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "plugin/PluginLoader.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

constexpr const char* kRegister = "register sensor class";

const std::vector<std::string> kRegistrationOrder = {
    "ZORAnalogDigitalConverter", "ZORHWTempDiodeSensor",      "ZORHWTemperatureSensor",
    "ZORMDDTemperatureSensor",   "ZORSMARTTemperatureSensor", "ZORXserveTemperatureSensor",
    "ZORTALVEROx86Monitor",      "ZORSMCTemperatureSensor",   "ZORHwmonSensor"};

const std::vector<std::string> kLegacyFamilies = {
    "ZORAnalogDigitalConverter", "ZORHWTempDiodeSensor", "ZORHWTemperatureSensor",
    "ZORMDDTemperatureSensor", "ZORXserveTemperatureSensor"};

bool isLegacy(const std::string& name) {
  return std::find(kLegacyFamilies.begin(), kLegacyFamilies.end(), name) != kLegacyFamilies.end();
}

TEST(LegacyRegistrationTest, FamiliesHaveTheirSlotsInLoadOrder) {
  std::vector<std::string> slots;
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (std::string(hook.what) == kRegister) slots.push_back(hook.className);
  }
  EXPECT_EQ(slots, kRegistrationOrder);
}

class AllSensorsTest : public LegacyMachineTest {};

TEST_F(AllSensorsTest, NonSMARTSensorsLeaveOutOnlyTheDiskFamily) {
  install({cardService(CardRecord().u16(68, 4096).data()),
           driverEntry("AppleAD741x", {hwSensor("adc", 1, "CPU A AD7417 AD1", 1024),
                                       hwSensor("temperature", 2, "CPU A AD7417 AMB", 65536)}),
           driverEntry("IOI2CMaxim1631", {hwSensor("temp", 3, "INTAKE", 65536)}),
           driverEntry("AppleCPUThermo", {}, {{"temperature", PlistValue::integer(11520)}}),
           driverEntry("AppleLM87", {}, {{"IntTemp", PlistValue::integer(38)}})});
  ScopedSensorClassRegistry scope;
  // The disk family stands in here with one sensor, in its slot.
  const ZORSensorClass disks{"ZORSMARTTemperatureSensor", [] {
                               auto disk = std::make_shared<ZORSensor>();
                               disk->setUniqueIdentifier("smart.disk.0");
                               return std::vector<std::shared_ptr<ZORSensor>>{disk};
                             }};
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (std::string(hook.what) != kRegister) continue;
    if (hook.className == disks.name) ZORSensor::registerSensorClass(disks);
    if (isLegacy(hook.className)) {
      ASSERT_NE(hook.run, nullptr) << hook.className;
      hook.run();
    }
  }
  auto identifiersOf = [](const std::vector<std::shared_ptr<ZORSensor>>& sensors) {
    std::vector<std::string> identifiers;
    for (const auto& sensor : sensors) identifiers.push_back(sensor->uniqueIdentifier());
    return identifiers;
  };
  EXPECT_EQ(identifiersOf(ZORSensor::allSensors()),
            (std::vector<std::string>{"hwsensor.AppleAD741x.1", "hwsensor.IOI2CMaxim1631.3",
                                      "hwsensor.AppleAD741x.2", "apple.mdd.0", "smart.disk.0",
                                      "apple.lm87temp.0"}));
  EXPECT_EQ(
      identifiersOf(ZORSensor::allNonSMARTSensors()),
      (std::vector<std::string>{"hwsensor.AppleAD741x.1", "hwsensor.IOI2CMaxim1631.3",
                                "hwsensor.AppleAD741x.2", "apple.mdd.0", "apple.lm87temp.0"}));
}

}  // namespace
}  // namespace zor::testing

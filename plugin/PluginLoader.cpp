#include "plugin/PluginLoader.h"

#include "cpu/ZORTALVEROx86Monitor.h"
#include "hwmon/ZORHwmonSensor.h"
#include "legacy/ZORAnalogDigitalConverter.h"
#include "legacy/ZORHWTempDiodeSensor.h"
#include "legacy/ZORHWTemperatureSensor.h"
#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "registry/ZORIORegistrySensorEntry.h"
#include "sensors/ZORSensor.h"
#include "smart/ZORSMARTTemperatureSensor.h"
#include "smc/ZORSMCTemperatureSensor.h"
#include "widget/PluginController.h"

namespace zor {

const std::vector<PluginLoadHook>& pluginLoadHooks() {
  static const std::vector<PluginLoadHook> hooks = {
      {"ZORSensor", "create the sensor-class registry", &ZORSensor::load},
      // The eight sensor families register themselves here, in this order;
      // each family puts its registration function in its slot.
      {"ZORAnalogDigitalConverter", "register sensor class", &ZORAnalogDigitalConverter::load},
      {"ZORHWTempDiodeSensor", "register sensor class", &ZORHWTempDiodeSensor::load},
      {"ZORHWTemperatureSensor", "register sensor class", &ZORHWTemperatureSensor::load},
      {"ZORMDDTemperatureSensor", "register sensor class", &ZORMDDTemperatureSensor::load},
      {"ZORSMARTTemperatureSensor", "register sensor class", &ZORSMARTTemperatureSensor::load},
      {"ZORXserveTemperatureSensor", "register sensor class", &ZORXserveTemperatureSensor::load},
      {"ZORTALVEROx86Monitor", "register sensor class", &ZORTALVEROx86Monitor::load},
      {"ZORSMCTemperatureSensor", "register sensor class", &ZORSMCTemperatureSensor::load},
      // Beyond the eight: the Linux kernel's hardware-monitor chips.
      {"ZORHwmonSensor", "register sensor class", &ZORHwmonSensor::load},
      {"PluginController", "cache the localized ellipsis", &PluginController::cacheEllipsis},
      // The registry sensor entry prepares the name of the property it sets before a reading.
      {"ZORIORegistrySensorEntry", "prepare the reading-request property name",
       &ZORIORegistrySensorEntry::load},
      // The CPU monitor starts its once-per-second refresh clock.
      {"ZORTALVEROx86Monitor", "start the refresh clock", &ZORTALVEROx86Monitor::startRefreshClock},
  };
  return hooks;
}

void loadPlugin() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  for (const PluginLoadHook& hook : pluginLoadHooks()) {
    if (hook.run != nullptr) hook.run();
  }
}

}  // namespace zor

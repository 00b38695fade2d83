#pragma once
// Machines made of a recorded Linux tree's hardware-monitor chips for the
// hwmon tests: the entries HwmonEntries appends become the children of a
// profile's registry root, the machine is installed with a manual clock and
// a captured log, and the hwmon family lists what the widget would. At the
// end of every test, every registry reference must have been given back.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "hwmon/ZORHwmonSensor.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/SystemLog.h"
#include "platform/linux/HwmonEntries.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/linux/RecordedTrees.h"
#include "widget/PluginController.h"
#include "widget/SensorListing.h"

namespace zor::testing {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

class HwmonMachineTest : public ::testing::Test {
 protected:
  void SetUp() override { ZORSensor::registerSensorClass(ZORHwmonSensor::classObject()); }
  void TearDown() override { uninstall(); }

  // Scans `dir`, lets `between` change the tree after the scan, builds and installs the machine.
  void install(const std::string& dir, const std::function<void()>& between = {}) {
    uninstall();
    PlistArray services;
    linuxfs::HwmonEntries::append(linuxfs::LinuxRoot(dir), &services);
    if (between) between();
    PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                         {"IORegistryEntryChildren", PlistValue(std::move(services))}};
    machine_ = Machine::fromProfile(PlistValue(PlistDictionary{{"Registry", PlistValue(root)}}),
                                    "hwmon test profile", nullptr);
    ASSERT_NE(machine_, nullptr);
    Machine::install(machine_);
  }

  void uninstall() {
    if (!machine_) return;
    EXPECT_EQ(machine_->registry().outstandingReferences(), 0) << "a reference was not given back";
    Machine::install(nullptr);
    machine_.reset();
  }

  // What the widget lists, one JSON object per sensor by unique identifier.
  std::map<std::string, nlohmann::json> listing() {
    PluginController controller;
    EXPECT_TRUE(controller.init());
    std::map<std::string, nlohmann::json> byIdentifier;
    for (const auto& sensor : SensorListing::json(controller)) {
      byIdentifier[sensor["uniqueIdentifier"]] = sensor;
    }
    return byIdentifier;
  }

  ScopedSensorClassRegistry registry_;
  ScopedManualClock clock_{7.0e8};
  ScopedLogCapture log_;
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing

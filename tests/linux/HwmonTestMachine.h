#pragma once
// Machines made of a recorded Linux tree's hardware-monitor chips for the
// hwmon tests: the entries HwmonEntries appends become the children of a
// profile's registry root, the machine is installed with a manual clock and
// a captured log, and the hwmon family lists what the widget would. Trees can
// be copied to a scratch folder first, to renumber or break them. At the end
// of every test, every registry reference must have been given back.

#include <gtest/gtest.h>

#include <filesystem>
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
#include "widget/PluginController.h"
#include "widget/SensorListing.h"

namespace zor::testing {

inline std::string recordedTree(const std::string& name) {
  return std::string(ZOR_SOURCE_DIR) + "/tests/linux/trees/" + name;
}

// A copy of a recorded tree (links kept as links) that is removed afterwards.
class TreeCopy {
 public:
  explicit TreeCopy(const std::string& name) {
    char pattern[] = "/tmp/zor-hwmon-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::filesystem::copy(
        recordedTree(name), dir_,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }
  ~TreeCopy() { std::filesystem::remove_all(dir_); }
  TreeCopy(const TreeCopy&) = delete;
  TreeCopy& operator=(const TreeCopy&) = delete;

  const std::string& dir() const { return dir_; }
  std::string operator/(const std::string& relative) const { return dir_ + "/" + relative; }

 private:
  std::string dir_;
};

class HwmonMachineTest : public ::testing::Test {
 protected:
  void SetUp() override { ZORSensor::registerSensorClass(ZORHwmonSensor::classObject()); }
  void TearDown() override { uninstall(); }

  // Scans `dir`, lets `between` change the tree after the scan, builds and installs the machine.
  void install(const std::string& dir, const std::function<void()>& between = {}) {
    PlistArray services;
    linuxfs::HwmonEntries::append(linuxfs::LinuxRoot(dir), &services);
    if (between) between();
    installEntries(std::move(services));
  }

  // Installs a machine whose registry root has `services` as children.
  void installEntries(PlistArray services) {
    uninstall();
    PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                         {"IORegistryEntryName", "Root"},
                         {"IORegistryEntryChildren", PlistValue(std::move(services))}};
    PlistDictionary profile{{"Name", "hwmon test machine"}, {"Registry", PlistValue(root)}};
    std::string error;
    machine_ = Machine::fromProfile(PlistValue(profile), "hwmon test profile", &error);
    ASSERT_NE(machine_, nullptr) << error;
    Machine::install(machine_);
  }

  void uninstall() {
    if (!machine_) return;
    EXPECT_EQ(machine_->registry().outstandingReferences(), 0)
        << "a registry reference was not given back";
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

#pragma once
// Small machines for the legacy sensor tests, built as property-list trees in
// the test: a platform entry whose children are driver entries with
// IOHWSensor services, G5 processor-card records (160 bytes, big-endian), SMU
// entries and so on. The fixture installs the machine and, after every test,
// checks that every registry reference taken was given back.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "registry/ZORIORegistrySensorEntry.h"

namespace zor::testing {

using Properties = std::vector<std::pair<std::string, PlistValue>>;

// A registry entry of class `className` named `name`.
inline PlistValue registryEntry(const std::string& className, const std::string& name,
                                const Properties& properties = {},
                                std::vector<PlistValue> children = {}) {
  PlistDictionary entry{{"IOObjectClass", className}, {"IORegistryEntryName", name}};
  for (const auto& [key, value] : properties) entry[key] = value;
  if (!children.empty()) entry["IORegistryEntryChildren"] = PlistArray(std::move(children));
  return entry;
}

// A driver's own entry: it carries a bundle identifier and names its class.
inline PlistValue driverEntry(const std::string& driverClass, std::vector<PlistValue> children,
                              const Properties& properties = {}) {
  Properties all = {{"CFBundleIdentifier", "org.zorsensors.test." + driverClass},
                    {"IOClass", driverClass}};
  all.insert(all.end(), properties.begin(), properties.end());
  return registryEntry(driverClass, driverClass, all, std::move(children));
}

// An IOHWSensor service with the four sensor properties.
inline PlistValue hwSensor(const std::string& type, std::int64_t sensorID,
                           const std::string& location, std::int64_t currentValue) {
  return registryEntry("IOHWSensor", location,
                       {{"type", type},
                        {"sensor-id", PlistValue::integer(sensorID)},
                        {"location", location},
                        {"current-value", PlistValue::integer(currentValue)}});
}

inline PlistValue bytes(std::vector<std::uint8_t> data) {
  return PlistValue(PlistData(std::move(data)));
}

// A profile whose platform entry has `children`.
inline PlistValue profileWith(std::vector<PlistValue> children) {
  PlistValue platform =
      registryEntry("IOPlatformExpertDevice", "TestMachine1,1", {}, std::move(children));
  PlistValue root = registryEntry("IORegistryEntry", "Root", {}, {platform});
  return PlistDictionary{{"Name", "legacy test machine"}, {"Registry", root}};
}

// A card-record service ("name" cpuid, the record as "cpuid") whose record,
// laid out big-endian as the card's firmware writes it, carries only the
// diode calibration m and b at offsets 68 and 70.
inline PlistValue cardService(std::uint16_t m, std::int16_t b, std::size_t length = 160) {
  std::vector<std::uint8_t> record(length, 0);
  for (auto [offset, value] : {std::pair{68, m}, {70, static_cast<std::uint16_t>(b)}}) {
    record.at(offset) = static_cast<std::uint8_t>(value >> 8);
    record.at(offset + 1) = static_cast<std::uint8_t>(value);
  }
  return registryEntry("PPCI2CInterface", "cpuid", {{"name", "cpuid"}, {"cpuid", bytes(record)}});
}

class LegacyMachineTest : public ::testing::Test {
 protected:
  void TearDown() override { uninstall(); }

  // Installs a machine (by default one whose platform entry has `children`);
  // refusals fail the test.
  void install(std::vector<PlistValue> children, std::optional<PlistValue> profile = {}) {
    uninstall();
    std::string error;
    machine_ = Machine::fromProfile(profile.value_or(profileWith(std::move(children))),
                                    "legacy test profile", &error);
    ASSERT_NE(machine_, nullptr) << error;
    Machine::install(machine_);
    ZORIORegistrySensorEntry::load();
  }

  void uninstall() {
    EXPECT_TRUE(!machine_ || machine_->registry().outstandingReferences() == 0)
        << "a registry reference was not given back";
    Machine::install(nullptr);
    machine_.reset();
  }

  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing

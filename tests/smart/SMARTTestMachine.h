#pragma once
// Machines with S.M.A.R.T. disks for the disk tests, built in memory: a disk
// is a registry entry of a block-storage class with its support and
// interconnect properties and an "ATASMART" driver whose pages are made from
// attribute rows. Also installs a plug-in bundle with a small known-disk
// table and attribute-name table, and resets the disk family's process-wide
// state around each test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/PropertyList.h"
#include "platform/ResourceBundle.h"
#include "platform/ScopedMachine.h"
#include "platform/SystemLog.h"
#include "platform/simulated/ATASMARTDriverBehaviour.h"
#include "registry/ZORIORegistryEntry.h"
#include "smart/ZORSMARTStorageDevice.h"
#include "smart/ZORSMARTTemperatureSensor.h"

namespace zor::testing {

struct AttributeRow {
  std::uint8_t id;
  std::uint16_t flags;
  std::uint8_t current;
  std::uint8_t worst;
  std::uint64_t raw;  // six bytes, least significant first
  std::uint8_t threshold;
};

// The identify page: ATA string fields are blank-padded, two characters a
// word with the first in the high byte (so each byte pair is swapped).
inline PlistData identifyBlock(const std::string& model, const std::string& serial) {
  PlistData block(512, 0);
  for (auto [offset, size, text] : {std::tuple{20u, 20u, serial}, {54u, 40u, model}}) {
    text.resize(size, ' ');
    for (std::size_t i = 0; i < size; ++i) block[offset + (i ^ 1)] = text[i];
  }
  return block;
}

// The attribute page, or with `thresholds` the threshold page, of `rows`.
inline PlistData dataPage(const std::vector<AttributeRow>& rows, bool thresholds = false) {
  PlistData page(512, 0);
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const AttributeRow& row = rows[n];
    std::uint8_t* at = &page[2 + 12 * n];
    at[0] = row.id;
    at[1] = thresholds ? row.threshold : static_cast<std::uint8_t>(row.flags & 0xff);
    if (thresholds) continue;
    at[2] = static_cast<std::uint8_t>(row.flags >> 8);
    at[3] = row.current;
    at[4] = row.worst;
    for (std::size_t b = 0; b < 6; ++b) at[5 + b] = static_cast<std::uint8_t>(row.raw >> (8 * b));
  }
  return page;
}

struct DiskSpec {
  std::string name = "disk";
  std::string className = "IOAHCIBlockStorageDevice";
  std::string model = "TEST MODEL 1000";
  // The support test's inputs; a null value leaves the property out.
  std::optional<PlistValue> smartCapable = PlistValue::boolean(true);
  std::optional<std::string> interconnect = std::string("SATA");
  // Attribute 194 holds the temperature in its low raw byte; the bytes above
  // hold the lowest and highest temperature seen.
  std::vector<AttributeRow> attributes = {{1, 0x000b, 100, 100, 0, 62},
                                          {194, 0x22, 100, 100, 0x0037'0014'0028, 0}};
  PlistArray fail{};
  std::optional<std::int64_t> openError{};
};

inline PlistValue diskEntry(const DiskSpec& disk) {
  PlistDictionary smart{{"Data", dataPage(disk.attributes)},
                        {"Thresholds", dataPage(disk.attributes, true)},
                        {"Identify", identifyBlock(disk.model, disk.name + "-SN")},
                        {"Fail", disk.fail}};
  PlistDictionary simulation{{"ATASMART", smart}};
  if (disk.openError) simulation["OpenError"] = PlistValue::integer(*disk.openError);
  PlistDictionary entry{{"IOObjectClass", disk.className},
                        {"IORegistryEntryName", disk.name},
                        {"ZORSimulation", simulation}};
  if (disk.smartCapable) entry["SMART Capable"] = *disk.smartCapable;
  if (disk.interconnect) {
    entry["Protocol Characteristics"] =
        PlistDictionary{{"Physical Interconnect", *disk.interconnect}};
  }
  return entry;
}

inline PlistValue hidSystemEntry(const PlistValue& idleTime) {
  return PlistDictionary{{"IOObjectClass", "IOHIDSystem"},
                         {"IORegistryEntryName", "IOHIDSystem"},
                         {"HIDIdleTime", idleTime}};
}

// A profile whose registry root holds `children` in order.
inline PlistDictionary profileWithEntries(const PlistArray& children) {
  PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                       {"IORegistryEntryName", "Root"},
                       {"IORegistryEntryChildren", children}};
  return PlistDictionary{{"Name", "disk test machine"}, {"Registry", root}};
}

// Installs a machine, a manual clock, a log capture and a plug-in bundle
// with the test tables; resets the disk family's process-wide state and at
// the end checks that every registry reference was given back.
class SMARTTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
    EXPECT_TRUE(!machine_ || machine_->registry().outstandingReferences() == 0)
        << "a registry reference was not given back";
    ZORSMARTStorageDevice::setDebugMode(false);
    ZORSMARTStorageDevice::forgetLoadedTables();
    Bundle::setPluginBundle(nullptr);
  }

  void install(const PlistDictionary& profile,
               std::string attributeNames =
                   "<plist><dict><key>5</key><string>Reallocated Sectors Count</string>"
                   "<key>194</key><string>Temperature</string></dict></plist>") {
    ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
    scoped_.reset();
    Bundle::setPluginBundle(ResourceBundle::forFiles(std::map<std::string, std::string>{
        {"hddtemp.db",
         "\"^KNOWN190\" 190 C \"190\"\n\"^NOTEMP\" 0 C \"None\"\n\"^TEST\" 194 C \"T\"\n"},
        {"SMARTProperties.plist", attributeNames}}));
    ZORSMARTStorageDevice::forgetLoadedTables();
    std::string error;
    machine_ = Machine::fromProfile(PlistValue(profile), "test", &error);
    ASSERT_NE(machine_, nullptr) << error;
    scoped_ = std::make_unique<ScopedMachine>(machine_);
  }
  void installDisks(const std::vector<DiskSpec>& disks) {
    PlistArray children(disks.size());
    std::transform(disks.begin(), disks.end(), children.begin(), diskEntry);
    install(profileWithEntries(children));
  }
  // The simulated disk behind the registry entry named `name`.
  SimulatedATASMARTDisk& disk(const std::string& name = "disk") {
    return *ATASMARTDriverBehaviour::diskOf(*machine_->registry().findEntryNamed(name));
  }
  // The registry entry named `name`, found the way discovery finds it (by its class).
  std::shared_ptr<ZORIORegistryEntry> entryNamed(const std::string& name) {
    MachineEntry* entry = machine_->registry().findEntryNamed(name);
    for (const auto& found : ZORIORegistryEntry::serviceObjectsMatchingName(entry->className())
                                 .value_or(ZORIORegistryEntryList{})) {
      if (found->ioKitHandle() == entry->handle()) return found;
    }
    return nullptr;
  }
  std::shared_ptr<ZORSMARTStorageDevice> deviceNamed(const std::string& name = "disk") {
    return ZORSMARTStorageDevice::deviceWithIORegistryEntry(entryNamed(name), false);
  }

  ScopedManualClock clock_{1.0e9};
  ScopedLogCapture log_;
  std::shared_ptr<Machine> machine_;
  std::unique_ptr<ScopedMachine> scoped_;
};

}  // namespace zor::testing

#pragma once
// Machines with S.M.A.R.T. disks for the disk tests, built in memory: a disk
// is a registry entry of a block-storage class with its support and
// interconnect properties and an "ATASMART" driver whose pages are made from
// attribute rows. Also installs a plug-in bundle with a given known-disk
// table and attribute-name table, and resets the disk family's process-wide
// state around each test.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
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

// An ATA string field: the text blank-padded to `size`, two characters a
// word with the first in the high byte (so each byte pair is swapped).
inline void putATAString(PlistData& block, std::size_t offset, std::size_t size,
                         const std::string& text) {
  std::string padded = text.substr(0, size);
  padded.resize(size, ' ');
  for (std::size_t i = 0; i < size; i += 2) {
    block[offset + i] = static_cast<std::uint8_t>(padded[i + 1]);
    block[offset + i + 1] = static_cast<std::uint8_t>(padded[i]);
  }
}

inline PlistData identifyBlock(const std::string& model, const std::string& serial) {
  PlistData block(512, 0);
  putATAString(block, 20, 20, serial);
  putATAString(block, 46, 8, "FW01");
  putATAString(block, 54, 40, model);
  return block;
}

// The attribute page, or with `thresholds` the threshold page, of `rows`.
inline PlistData dataPage(const std::vector<AttributeRow>& rows, bool thresholds = false) {
  PlistData page(512, 0);
  for (std::size_t n = 0; n < rows.size() && n < 30; ++n) {
    std::uint8_t* at = &page[2 + 12 * n];
    at[0] = rows[n].id;
    if (thresholds) {
      at[1] = rows[n].threshold;
      continue;
    }
    at[1] = static_cast<std::uint8_t>(rows[n].flags & 0xff);
    at[2] = static_cast<std::uint8_t>(rows[n].flags >> 8);
    at[3] = rows[n].current;
    at[4] = rows[n].worst;
    for (std::size_t b = 0; b < 6; ++b)
      at[5 + b] = static_cast<std::uint8_t>(rows[n].raw >> (8 * b));
  }
  return page;
}

// A temperature attribute 194 holding `degrees` in its two low raw bytes.
inline AttributeRow temperatureRow(std::uint16_t degrees) {
  return AttributeRow{194, 0x0022, 100, 100, degrees, 0};
}

struct DiskSpec {
  std::string name = "disk";
  std::string className = "IOAHCIBlockStorageDevice";
  std::string model = "TEST MODEL 1000";
  std::string serial = "SN0001";
  // The support test's inputs; a null value leaves the property out.
  std::optional<PlistValue> smartCapable = PlistValue::boolean(true);
  std::optional<PlistValue> deviceCharacteristics{};
  std::optional<std::string> interconnect = std::string("SATA");
  std::vector<AttributeRow> attributes = {{1, 0x000b, 100, 100, 0, 62}, temperatureRow(40)};
  std::vector<std::string> fail{};
  bool thresholdExceeded = false;
  std::optional<std::int64_t> openError{};
};

inline PlistValue diskEntry(const DiskSpec& disk) {
  PlistDictionary smart{{"Data", PlistValue(dataPage(disk.attributes))},
                        {"Thresholds", PlistValue(dataPage(disk.attributes, true))},
                        {"Identify", PlistValue(identifyBlock(disk.model, disk.serial))},
                        {"ThresholdExceeded", PlistValue::boolean(disk.thresholdExceeded)}};
  if (!disk.fail.empty()) {
    PlistArray names;
    for (const auto& name : disk.fail) names.emplace_back(name);
    smart["Fail"] = PlistValue(names);
  }
  PlistDictionary simulation{{"ATASMART", PlistValue(smart)}};
  if (disk.openError) simulation["OpenError"] = PlistValue::integer(*disk.openError);
  PlistDictionary entry{{"IOObjectClass", PlistValue(disk.className)},
                        {"IORegistryEntryName", PlistValue(disk.name)},
                        {"ZORSimulation", PlistValue(simulation)}};
  if (disk.smartCapable) entry["SMART Capable"] = *disk.smartCapable;
  if (disk.deviceCharacteristics) entry["Device Characteristics"] = *disk.deviceCharacteristics;
  if (disk.interconnect) {
    entry["Protocol Characteristics"] =
        PlistValue(PlistDictionary{{"Physical Interconnect", PlistValue(*disk.interconnect)}});
  }
  return PlistValue(entry);
}

inline PlistValue hidSystemEntry(const PlistValue& idleTime) {
  return PlistValue(PlistDictionary{{"IOObjectClass", PlistValue("IOHIDSystem")},
                                    {"IORegistryEntryName", PlistValue("IOHIDSystem")},
                                    {"HIDIdleTime", idleTime}});
}

// A profile whose registry root holds `children` in order.
inline PlistDictionary profileWithEntries(const PlistArray& children) {
  PlistDictionary root{{"IOObjectClass", PlistValue("IORegistryEntry")},
                       {"IORegistryEntryName", PlistValue("Root")},
                       {"IORegistryEntryChildren", PlistValue(children)}};
  return PlistDictionary{{"Name", PlistValue("disk test machine")}, {"Registry", PlistValue(root)}};
}

inline const char* kTestDiskTable =
    "# test table\n"
    "\"^KNOWN190\" 190 C \"Known disk with attribute 190\"\n"
    "\"^NOTEMP\" 0 C \"Known disk without temperature\"\n"
    "\"^TEST MODEL\" 194 C \"Test models\"\n";

inline const char* kTestAttributeNames = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>1</key><string>Raw Read Error Rate</string>
<key>5</key><string>Reallocated Sectors Count</string>
<key>194</key><string>Temperature</string>
</dict></plist>)";

// Installs a machine, a manual clock, a log capture and a plug-in bundle
// with the given tables; resets the disk family's process-wide state and at
// the end checks that every registry reference was given back.
class SMARTTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
    if (machine_) {
      EXPECT_EQ(outstanding(), 0) << "a registry reference was not given back";
    }
    ZORSMARTStorageDevice::setDebugMode(false);
    ZORSMARTStorageDevice::forgetLoadedTables();
    Bundle::setPluginBundle(nullptr);
    scoped_.reset();
  }

  void install(const PlistDictionary& profile, const std::string& diskTable = kTestDiskTable,
               const std::string& attributeNames = kTestAttributeNames) {
    ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
    scoped_.reset();
    std::map<std::string, std::string> files{
        {"Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>test.smart</string></dict></plist>)"}};
    if (!diskTable.empty()) files["hddtemp.db"] = diskTable;
    if (!attributeNames.empty()) files["SMARTProperties.plist"] = attributeNames;
    Bundle::setPluginBundle(ResourceBundle::forFiles(files));
    ZORSMARTStorageDevice::forgetLoadedTables();
    std::string error;
    machine_ = Machine::fromProfile(PlistValue(profile), "test", &error);
    ASSERT_NE(machine_, nullptr) << error;
    scoped_ = std::make_unique<ScopedMachine>(machine_);
  }
  void installDisks(const std::vector<DiskSpec>& disks, PlistArray more = {}) {
    PlistArray children;
    for (const auto& disk : disks) children.push_back(diskEntry(disk));
    for (auto& entry : more) children.push_back(std::move(entry));
    install(profileWithEntries(children));
  }
  // The simulated disk behind the registry entry named `name`.
  SimulatedATASMARTDisk& disk(const std::string& name) {
    MachineEntry* entry = machine_->registry().findEntryNamed(name);
    SimulatedATASMARTDisk* disk = entry ? ATASMARTDriverBehaviour::diskOf(*entry) : nullptr;
    if (disk != nullptr) return *disk;
    ADD_FAILURE() << "no S.M.A.R.T. disk named " << name;
    static SimulatedATASMARTDisk none;
    return none;
  }
  // The registry entry named `name`, found the way discovery finds it (by its class).
  std::shared_ptr<ZORIORegistryEntry> entryNamed(const std::string& name) {
    MachineEntry* entry = machine_->registry().findEntryNamed(name);
    if (entry != nullptr) {
      auto found = ZORIORegistryEntry::serviceObjectsMatchingName(entry->className());
      for (const auto& candidate : found.value_or(ZORIORegistryEntryList{})) {
        if (candidate->ioKitHandle() == entry->handle()) return candidate;
      }
    }
    ADD_FAILURE() << "no registry entry named " << name;
    return nullptr;
  }
  std::shared_ptr<ZORSMARTStorageDevice> deviceNamed(const std::string& name) {
    auto device = ZORSMARTStorageDevice::deviceWithIORegistryEntry(entryNamed(name), false);
    EXPECT_NE(device, nullptr) << name;
    return device;
  }
  std::int64_t outstanding() const { return machine_->registry().outstandingReferences(); }

  ScopedManualClock clock_{1.0e9};
  ScopedLogCapture log_;
  std::shared_ptr<Machine> machine_;
  std::unique_ptr<ScopedMachine> scoped_;
};

}  // namespace zor::testing

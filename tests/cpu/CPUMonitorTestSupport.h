#pragma once
// Machines for the CPU-monitor tests: status blocks encoded byte by byte at
// the driver's published offsets (header 20 bytes, 36 per core, 8-byte
// trailer, little-endian, 64-bit fields on 4-byte boundaries; the fields the
// sensors never read carry noise so that a misplaced read shows), and a
// fixture that installs one driver on a manual clock with a log capture and
// checks that every registry reference taken was given back.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/MachineEntry.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor::testing {

constexpr const char* kDriverClass = "com_talvero_driver_TALVEROx86Monitoring";
constexpr const char* kXeonKey = "EnableCoreTempReadingsForXeon10670";
constexpr const char* kFrequencyKey = "EnableFrequencyReadingsForCPU10670";
constexpr std::uint32_t kStartSeconds = 1'700'000'000u;

struct CoreSpec {
  std::uint32_t updateTime = 0;
  std::int32_t thermalReading = 0;
  std::uint64_t performanceStatus = 0;
  std::uint64_t busSpeedCode = 0;
};

struct StatusSpec {
  std::uint32_t driverVersion = 7;
  std::uint64_t platformInfo = 0;
  std::uint32_t statusFlags = 0x1;
  std::vector<CoreSpec> cores{};
  // The core count written in the header, when it should differ from cores.size().
  std::optional<std::uint32_t> announcedCores{};
  // Bytes cut from the end of the encoded block.
  std::size_t truncateBy = 0;
  // The trailer: one turbo ratio per byte, one active core first.
  std::uint64_t turboRatios = 0;
};

// Little-endian, `size` bytes of `value` at `offset`.
inline void put(PlistData& bytes, std::size_t offset, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline PlistData encodeStatus(const StatusSpec& spec) {
  const std::size_t cores = spec.cores.size();
  PlistData bytes(20 + 36 * cores + 8, 0);
  put(bytes, 0, spec.driverVersion, 4);
  put(bytes, 4, spec.announcedCores.value_or(static_cast<std::uint32_t>(cores)), 4);
  put(bytes, 8, spec.platformInfo, 8);
  put(bytes, 16, spec.statusFlags, 4);
  for (std::size_t n = 0; n < cores; ++n) {
    const std::size_t record = 20 + 36 * n;
    const CoreSpec& core = spec.cores[n];
    put(bytes, record + 0, core.updateTime, 4);
    put(bytes, record + 4, 0xDEADBEEFu, 4);  // not read by the sensors
    put(bytes, record + 8, static_cast<std::uint32_t>(core.thermalReading), 4);
    put(bytes, record + 12, core.performanceStatus, 8);
    put(bytes, record + 20, 0xA5A5A5A5A5A5A5A5u, 8);  // not read by the sensors
    put(bytes, record + 28, core.busSpeedCode, 8);
  }
  put(bytes, 20 + 36 * cores, spec.turboRatios, 8);
  bytes.resize(bytes.size() - std::min(spec.truncateBy, bytes.size()));
  return bytes;
}

// `count` cores, all refreshed at `updateTime` with the same reading.
inline std::vector<CoreSpec> uniformCores(std::size_t count,
                                          std::uint32_t updateTime = kStartSeconds,
                                          std::int32_t thermalReading = 40) {
  return std::vector<CoreSpec>(count, CoreSpec{updateTime, thermalReading, 0, 0});
}

class CPUMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override { ZORTALVEROx86Monitor::startRefreshClock(); }
  void TearDown() override {
    expectReferencesReturned();
    Machine::install(nullptr);
    UserDefaults::standard().removeObjectForKey(kXeonKey);
    UserDefaults::standard().removeObjectForKey(kFrequencyKey);
  }
  // Every registry reference taken on the installed machine was given back.
  void expectReferencesReturned() {
    EXPECT_TRUE(!machine_ || machine_->registry().outstandingReferences() == 0);
  }

  // One driver with the given block and brand/signature; the default family
  // (1776) keeps the default junction limits. With `liveDriver` the simulated
  // driver refreshes the block on "ForceUpdate".
  void installBlock(const StatusSpec& status, std::int64_t signature = 1776,
                    const std::string& brand = "Intel(R) Core(TM)2 Duo CPU     T7700  @ 2.40GHz",
                    bool liveDriver = false) {
    PlistDictionary driver{{"IOObjectClass", PlistValue(kDriverClass)},
                           {"IORegistryEntryName", PlistValue("CPUMonitor")},
                           {"CPUBrand", PlistValue(brand)},
                           {"CPUSignature", PlistValue::integer(signature)},
                           {"CPUStatus", PlistValue(encodeStatus(status))}};
    if (liveDriver) driver["ZORSimulation"] = PlistDictionary{{"CPUMonitor", PlistDictionary{}}};
    PlistDictionary root{{"IOObjectClass", PlistValue("IORegistryEntry")},
                         {"IORegistryEntryName", PlistValue("Root")},
                         {"IORegistryEntryChildren", PlistValue(PlistArray{PlistValue(driver)})}};
    expectReferencesReturned();
    std::string error;
    machine_ = Machine::fromProfile(PlistValue(PlistDictionary{{"Registry", PlistValue(root)}}),
                                    "cpu test", &error);
    ASSERT_NE(machine_, nullptr) << error;
    Machine::install(machine_);
  }
  // Replaces the published block.
  void publish(const StatusSpec& status) {
    machine_->registry().findEntryNamed("CPUMonitor")->properties()["CPUStatus"] =
        PlistValue(encodeStatus(status));
  }
  std::shared_ptr<ZORIORegistryEntry> firstDriver() const {
    auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(kDriverClass));
    return services && !services->empty() ? services->front() : nullptr;
  }
  static std::vector<std::shared_ptr<ZORSensor>> monitors() {
    return ZORTALVEROx86Monitor::allSensors();
  }

  ScopedManualClock clock_{kStartSeconds};
  ScopedLogCapture log_;
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing

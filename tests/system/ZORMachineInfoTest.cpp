#include "system/ZORMachineInfo.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/KeyedArchiver.h"
#include "platform/SequentialArchiver.h"
#include "system/NSProcessInfoZORAdditions.h"
#include "system/SystemTestMachine.h"

namespace zor::testing {
namespace {

// A number as the machine stores it in a data property.
template <typename Number>
PlistValue machineBytes(Number value) {
  PlistData data(sizeof value);
  std::memcpy(data.data(), &value, sizeof value);
  return PlistValue(std::move(data));
}

PlistValue cString(const std::string& value) {
  PlistData data(value.begin(), value.end());
  data.push_back(0);
  return PlistValue(std::move(data));
}

PlistValue platformExpert(std::optional<std::string> serial) {
  PlistDictionary properties;
  if (serial) properties["IOPlatformSerialNumber"] = text(*serial);
  return entry("IOPlatformExpertDevice", "Expert", properties);
}

// An interface below the controller that carries the address.
PlistValue networkInterface(const std::string& name, bool primary, PlistValue address) {
  return entry(
      "IOEthernetController", name + "-controller", {{"IOMACAddress", std::move(address)}},
      {entry("IONetworkInterface", name, {{"IOPrimaryInterface", PlistValue::boolean(primary)}})});
}

PlistDictionary fullProfile() {
  PlistDictionary profile = profileWithServices({
      platformExpert("W89201ZX1AQ"),
      entry("IOPlatformDevice", "bus", {{"device_type", cString("pci")}}),
      entry("IOPlatformDevice", "CPU0",
            {{"device_type", cString("cpu")},
             {"max-clock-frequency", machineBytes(std::uint64_t{5000000000})}}),
      entry(
          "IOPMrootDomain", "IOPMrootDomain",
          {{"Supported Features", PlistValue(PlistDictionary{{"Reduce Processor Speed", number(1)},
                                                             {"Dynamic Power Step", number(1)}})}}),
  });
  profile["Sysctl"] = PlistDictionary{
      {"hw.ncpu", number(8)},
      {"hw.availcpu", number(7)},
      {"hw.physicalcpu", number(4)},
      {"hw.cpufrequency", number(2260000000)},
      {"hw.cpufrequency_min", number(1600000000)},
      {"hw.cpufrequency_max", number(2930000000)},
      {"hw.busfrequency", number(1066000000)},
      {"hw.busfrequency_min", number(800000000)},
      {"hw.busfrequency_max", number(1333000000)},
      {"hw.l1icachesize", number(32768)},
      {"hw.l1dcachesize", number(16384)},
      {"hw.l2cachesize", number(262144)},
      {"hw.l3cachesize", number(8388608)},
      {"hw.vectorunit", number(1)},
      {"hw.memsize", number(12884901888)},
      {"hw.cpu64bit_capable", number(1)},
      {"hw.model", text("MacPro4,1")},
      {"kern.version", text("Darwin Kernel Version 10.4.0: root:xnu/RELEASE_X86_64")}};
  profile["HostInfo"] = PlistDictionary{{"CPUType", number(7)}, {"CPUSubType", number(8)}};
  profile["HostUUID"] = bytes({0x6a, 0x2d, 0x1f, 0x3c, 0x2b, 0x7e, 0x5c, 0x41, 0x9d, 0x0a, 0x3e,
                               0x8f, 0x7b, 0x6c, 0x5d, 0x4a});
  profile["ComputerName"] = text("Test Tower");
  profile["OperatingSystemVersionString"] = text("Version 10.6.4 (Build 10F569)");
  profile["Files"] =
      PlistDictionary{{NSProcessInfoZORAdditions::kSystemVersionPath,
                       PlistValue(PlistDictionary{{"ProductName", text("Test OS")},
                                                  {"ProductVersion", text("10.6.4")},
                                                  {"ProductBuildVersion", text("10F569")}})}};
  profile["DeviceTree"] =
      entry("IOPlatformExpertDevice", "device-tree", {},
            {entry("IOService", "rom", {},
                   {entry("IOService", "boot-rom", {{"model", cString("MP41.0081.B07")}})})});
  return profile;
}

std::shared_ptr<ZORMachineInfo> gather() {
  auto info = std::make_shared<ZORMachineInfo>();
  info->init();
  return info;
}

// The text form carries every field but the CPU version and the two version numbers.
TEST(ZORMachineInfoTest, GathersEveryFieldFromTheMachine) {
  InstalledMachine installed(fullProfile());
  EXPECT_EQ(gather()->description(),
            "MacPro4,1, S/N W89201ZX1AQ UUID: 6A2D1F3C-2B7E-5C41-9D0A-3E8F7B6C5D4A, named 'Test "
            "Tower': 8 CPUs, 4 physical, 7 active, type 7:8, frequency 2260000000 Hz (min "
            "1600000000 Hz, max 2930000000 Hz, nom 5000000000 Hz) variable: 2, FSB frequency "
            "1066000000 Hz (min 800000000 Hz, max 1333000000 Hz), L1 instruction cache 32768 "
            "bytes, L1 data cache 16384 bytes, L2 cache 262144 bytes, L3 cache 8388608 bytes, "
            "vector unit support YES, 64 bit support YES, 64 bit kernel YES, memory size "
            "12884901888 bytes, operating system Version 10.6.4 (Build 10F569) build 10F569 OS "
            "code 1064, Darwin Kernel Version 10.4.0: root:xnu/RELEASE_X86_64, boot ROM version "
            "MP41.0081.B07");
}

// Both archives carry every field in its own slot: a copy decoded from either
// describes the machine as the original does; a short or mistyped one is refused.
TEST(ZORMachineInfoTest, ArchivesKeepEveryField) {
  InstalledMachine installed(fullProfile());
  const auto original = gather();
  SequentialArchiver sequential;
  original->encodeWithCoder(sequential);
  KeyedArchiver keyed;
  original->encodeWithKeyedCoder(keyed);
  SequentialArchiver reader(sequential.bytes());
  ZORMachineInfo fromSequential, fromKeyed, untouched;
  ASSERT_TRUE(fromSequential.initWithCoder(reader) && fromKeyed.initWithKeyedCoder(keyed));
  EXPECT_EQ(fromSequential.description(), original->description());
  EXPECT_EQ(fromKeyed.description(), original->description());
  SequentialArchiver shortReader(sequential.bytes().substr(0, sequential.bytes().size() - 1));
  keyed.encodeString("CPUType", "seven");
  EXPECT_FALSE(untouched.initWithCoder(shortReader) || untouched.initWithKeyedCoder(keyed));
  EXPECT_EQ(untouched.description(), ZORMachineInfo().description());
}

TEST(ZORMachineInfoTest, EmptyMachineGivesTheFallbacks) {
  PlistDictionary profile = profileWithServices({});
  profile["Sysctl"] = PlistDictionary{{"hw.ncpu", number(4)}};
  profile["ComputerName"] = text("");
  InstalledMachine installed(profile);
  // The physical count falls back to the CPU count; an empty name is replaced.
  EXPECT_EQ(gather()->description(),
            ", S/N ZZZNOSERIAL UUID: , named 'Macintosh': 4 CPUs, 4 physical, 0 active, type 0:0, "
            "frequency 0 Hz (min 0 Hz, max 0 Hz, nom 0 Hz) variable: 0, FSB frequency 0 Hz (min 0 "
            "Hz, max 0 Hz), L1 instruction cache 0 bytes, L1 data cache 0 bytes, L2 cache 0 bytes, "
            "L3 cache 0 bytes, vector unit support NO, 64 bit support NO, 64 bit kernel NO, memory "
            "size 0 bytes, operating system  build  OS code 1000, , boot ROM version ");
}

TEST(ZORMachineInfoTest, SerialNumberHasOneOfThreeForms) {
  const PlistValue address = bytes({0x02, 0x11, 0x22, 0x3a, 0x4b, 0x5c});
  const std::pair<PlistArray, const char*> cases[] = {
      {{platformExpert("C02ABC123DEF")}, "C02ABC123DEF"},
      {{platformExpert(""), networkInterface("en0", true, address)}, "ZZZNOSERIAL-0211223a4b5c"},
      {{networkInterface("en0", false, address)}, "ZZZNOSERIAL"},
      {{networkInterface("en0", true, bytes({1, 2, 3, 4, 5}))}, "ZZZNOSERIAL"},
      // Only the first primary interface is asked; others are passed over.
      {{networkInterface("en0", true, bytes({1})), networkInterface("en1", true, address)},
       "ZZZNOSERIAL"},
      {{networkInterface("en0", false, bytes({9, 9, 9, 9, 9, 9})),
        networkInterface("en1", true, address)},
       "ZZZNOSERIAL-0211223a4b5c"},
  };
  for (const auto& [services, serial] : cases) {
    InstalledMachine installed(profileWithServices(services));
    EXPECT_EQ(gather()->machineSerialNumber(), serial);
  }
}

}  // namespace
}  // namespace zor::testing

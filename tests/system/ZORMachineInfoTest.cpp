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

PlistValue processorDevice(PlistDictionary properties) {
  return entry("IOPlatformDevice", "CPU0", std::move(properties));
}

// An interface below the controller that carries the address.
PlistValue networkInterface(const std::string& name, bool primary, PlistValue address) {
  return entry(
      "IOEthernetController", name + "-controller", {{"IOMACAddress", std::move(address)}},
      {entry("IONetworkInterface", name, {{"IOPrimaryInterface", PlistValue::boolean(primary)}})});
}

PlistValue deviceTree(PlistArray romChildren, PlistDictionary romProperties) {
  return entry("IOPlatformExpertDevice", "device-tree", {},
               {entry("IOService", "rom", std::move(romProperties), std::move(romChildren))});
}

PlistDictionary fullProfile() {
  PlistDictionary profile = profileWithServices({
      platformExpert("W89201ZX1AQ"),
      entry("IOPlatformDevice", "bus", {{"device_type", cString("pci")}}),
      processorDevice({{"device_type", cString("cpu")},
                       {"cpu-version", machineBytes(std::uint32_t{0x00800202})},
                       {"max-clock-frequency", machineBytes(std::uint64_t{5000000000})},
                       {"clock-frequency", machineBytes(std::uint32_t{1000})}}),
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
      {"kern.version", text("Darwin Kernel Version 10.4.0: root:xnu/RELEASE_X86_64")},
  };
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
      deviceTree({entry("IOService", "boot-rom", {{"model", cString("MP41.0081.B07")}})},
                 {{"version", cString("ROM 1")}, {"release-date", cString("01/02/2010")}});
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
  auto info = gather();
  EXPECT_EQ(info->description(),
            "MacPro4,1, S/N W89201ZX1AQ UUID: 6A2D1F3C-2B7E-5C41-9D0A-3E8F7B6C5D4A, named 'Test "
            "Tower': 8 CPUs, 4 physical, 7 active, type 7:8, frequency 2260000000 Hz (min "
            "1600000000 Hz, max 2930000000 Hz, nom 5000000000 Hz) variable: 2, FSB frequency "
            "1066000000 Hz (min 800000000 Hz, max 1333000000 Hz), L1 instruction cache 32768 "
            "bytes, L1 data cache 16384 bytes, L2 cache 262144 bytes, L3 cache 8388608 bytes, "
            "vector unit support YES, 64 bit support YES, 64 bit kernel YES, memory size "
            "12884901888 bytes, operating system Version 10.6.4 (Build 10F569) build 10F569 OS "
            "code 1064, Darwin Kernel Version 10.4.0: root:xnu/RELEASE_X86_64, boot ROM version "
            "MP41.0081.B07");
  EXPECT_EQ(info->cpuVersionCode(), 0x00800202);
  EXPECT_EQ(info->readableOperatingSystemNumber(), "10.6.4");
  EXPECT_EQ(info->readableKernelVersionNumber(), "10.4.0");
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
      {{networkInterface("en0", true, text("02:11:22:3a:4b:5c"))}, "ZZZNOSERIAL"},
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

// The full machine covers a CPU device with a 64-bit maximum and a version.
TEST(ZORMachineInfoTest, NominalClockComesFromTheFirstProcessorDevice) {
  const auto cpu = [](PlistDictionary properties) {
    properties["device_type"] = cString("cpu");
    return processorDevice(std::move(properties));
  };
  const std::pair<PlistValue, std::uint64_t> cases[] = {
      {cpu({{"max-clock-frequency", machineBytes(std::uint32_t{1800000000})},
            {"clock-frequency", machineBytes(std::uint32_t{1})}}),
       1800000000},
      {cpu({{"clock-frequency", machineBytes(std::uint32_t{1250000000})}}), 1250000000},
      {processorDevice({{"device_type", cString("processor")},
                        {"max-clock-frequency", machineBytes(std::uint32_t{7})},
                        {"clock-frequency", machineBytes(std::uint32_t{1000000000})}}),
       1000000000},
      // Values of the wrong length are passed over for the current clock.
      {cpu({{"cpu-version", bytes({1, 2, 3})}, {"max-clock-frequency", bytes({0x10, 0x20})}}),
       2000000000},
  };
  for (const auto& [device, nominal] : cases) {
    PlistDictionary profile = profileWithServices({device});
    profile["Sysctl"] = PlistDictionary{{"hw.cpufrequency", number(2000000000)}};
    InstalledMachine installed(profile);
    auto info = gather();
    EXPECT_EQ(info->nominalCPUFrequency(), nominal);
    EXPECT_EQ(info->cpuVersionCode(), 0);
  }
}

TEST(ZORMachineInfoTest, KernelVersionNumberRunsFromTheFirstDigitToTheColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"Darwin Kernel Version 10.4.0: Fri Apr 23; root:xnu/RELEASE_I386", "10.4.0"},
      {"Kernel 9.8.0 without a colon", "9.8.0 without a colon"},
      {"10.4.0: begins with its number", ""},
      {"no digits at all", ""},
  };
  for (const auto& [kernel, number] : cases) {
    PlistDictionary profile = profileWithServices({});
    profile["Sysctl"] = PlistDictionary{{"kern.version", text(kernel)}};
    InstalledMachine installed(profile);
    auto info = gather();
    EXPECT_EQ(info->readableKernelVersionNumber(), number) << kernel;
    EXPECT_FALSE(info->isRunning64BitKernel()) << kernel;
  }
}

TEST(ZORMachineInfoTest, BootROMVersionComesFromTheDeviceTree) {
  const std::pair<std::optional<PlistValue>, const char*> cases[] = {
      {deviceTree({entry("IOService", "boot-rom", {{"model", cString("B1")}})},
                  {{"version", cString("V")}}),
       "B1"},
      {deviceTree({}, {{"version", cString("V 4.2")}, {"release-date", cString("03/04/05")}}),
       "V 4.2 (03/04/05)"},
      {deviceTree({}, {{"version", cString("V")}}), "V ()"},
      {std::nullopt, ""},
  };
  for (const auto& [tree, version] : cases) {
    PlistDictionary profile = profileWithServices({});
    if (tree) profile["DeviceTree"] = *tree;
    InstalledMachine installed(profile);
    EXPECT_EQ(gather()->bootROMVersion(), version);
  }
}

TEST(ZORMachineInfoTest, UUIDThatArrivesTooLateIsLeftEmpty) {
  for (double delay : {0.5, 1.5}) {
    PlistDictionary profile = fullProfile();
    profile["HostUUIDDelay"] = PlistValue::real(delay);
    InstalledMachine installed(profile);
    EXPECT_EQ(gather()->machineUUID().empty(), delay > ZORMachineInfo::kHostUUIDWaitSeconds)
        << delay;
  }
}

TEST(ZORMachineInfoTest, BothArchivesGiveTheSameDescriptionOnAnotherMachine) {
  std::shared_ptr<ZORMachineInfo> original;
  SequentialArchiver sequential;
  KeyedArchiver keyed;
  {
    InstalledMachine installed(fullProfile());
    original = gather();
    original->encodeWithCoder(sequential);
    original->encodeWithKeyedCoder(keyed);
  }
  EXPECT_EQ(keyed.count(), 33u);
  // Decoding gathers nothing from the machine it runs on.
  InstalledMachine other(profileWithServices({platformExpert("OTHER")}));

  SequentialArchiver reader(sequential.bytes());
  ZORMachineInfo fromSequential;
  ASSERT_TRUE(fromSequential.initWithCoder(reader));
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(fromSequential.description(), original->description());

  auto parsed = KeyedArchiver::fromBytes(keyed.bytes());
  ASSERT_TRUE(parsed);
  ZORMachineInfo fromKeyed;
  ASSERT_TRUE(fromKeyed.initWithKeyedCoder(*parsed));
  EXPECT_EQ(fromKeyed.description(), original->description());
  EXPECT_EQ(fromKeyed.nominalCPUFrequency(), original->nominalCPUFrequency());
  EXPECT_EQ(fromKeyed.cpuVersionCode(), original->cpuVersionCode());
  EXPECT_EQ(fromKeyed.machineSerialNumber(), "W89201ZX1AQ");
}

TEST(ZORMachineInfoTest, DamagedArchivesAreRefusedAndChangeNothing) {
  InstalledMachine installed(fullProfile());
  auto original = gather();
  SequentialArchiver coder;
  original->encodeWithCoder(coder);
  const std::string whole = coder.bytes();

  ZORMachineInfo target;
  const std::string before = target.description();
  for (std::size_t cut : {whole.size() - 1, whole.size() / 2, std::size_t{6}}) {
    SequentialArchiver truncated(whole.substr(0, cut));
    EXPECT_FALSE(target.initWithCoder(truncated)) << cut;
    EXPECT_EQ(target.description(), before) << cut;
  }

  KeyedArchiver wrongKind;
  wrongKind.encodeString("NumberOfCPUs", "eight");
  wrongKind.encodeString("MachineSerialNumber", "X");
  EXPECT_FALSE(target.initWithKeyedCoder(wrongKind));
  EXPECT_EQ(target.description(), before);

  // Keys an older archive lacks stay empty.
  KeyedArchiver partial;
  partial.encodeString("MachineSerialNumber", "W89201ZX1AQ");
  ASSERT_TRUE(target.initWithKeyedCoder(partial));
  EXPECT_EQ(target.machineSerialNumber(), "W89201ZX1AQ");
  EXPECT_EQ(target.memorySize(), 0u);
}

}  // namespace
}  // namespace zor::testing

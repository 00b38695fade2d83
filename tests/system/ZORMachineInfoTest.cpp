#include "system/ZORMachineInfo.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/DistantObject.h"
#include "platform/KeyedArchiver.h"
#include "platform/PortCoder.h"
#include "platform/PortConnection.h"
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
      {"kern.version", text("Darwin Kernel Version 10.4.0: Fri Apr 23 18:28:53 PDT 2010; "
                            "root:xnu-1504.7.4~1/RELEASE_X86_64")},
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

TEST(ZORMachineInfoTest, GathersEveryFieldFromTheMachine) {
  InstalledMachine installed(fullProfile());
  auto info = gather();

  std::uint32_t cpus = 0, active = 0, physical = 0;
  info->getNumberOfCPUs(&cpus, &active, &physical);
  EXPECT_EQ(cpus, 8u);
  EXPECT_EQ(active, 7u);
  EXPECT_EQ(physical, 4u);
  std::int32_t type = 0, subType = 0;
  info->getCPUType(&type, &subType);
  EXPECT_EQ(type, 7);
  EXPECT_EQ(subType, 8);
  EXPECT_EQ(info->cpuVersionCode(), 0x00800202);
  std::uint64_t frequency = 0, minimum = 0, maximum = 0;
  info->getCPUFrequency(&frequency, &minimum, &maximum);
  EXPECT_EQ(frequency, 2260000000u);
  EXPECT_EQ(minimum, 1600000000u);
  EXPECT_EQ(maximum, 2930000000u);
  EXPECT_EQ(info->nominalCPUFrequency(), 5000000000u);
  info->getFSBFrequency(&frequency, &minimum, &maximum);
  EXPECT_EQ(frequency, 1066000000u);
  EXPECT_EQ(minimum, 800000000u);
  EXPECT_EQ(maximum, 1333000000u);
  EXPECT_EQ(info->cpuFrequencyVariabilityFeature(), 2);
  std::uint32_t data = 0, instructions = 0;
  info->getL1CacheSizeData(&data, &instructions);
  EXPECT_EQ(data, 16384u);
  EXPECT_EQ(instructions, 32768u);
  EXPECT_EQ(info->l2CacheSize(), 262144u);
  EXPECT_EQ(info->l3CacheSize(), 8388608u);
  EXPECT_TRUE(info->supportsAltiVec());
  EXPECT_EQ(info->memorySize(), 12884901888u);
  EXPECT_EQ(info->operatingSystemVersionCode(), 0x1064);
  EXPECT_EQ(info->appleModelCode(), "MacPro4,1");
  EXPECT_EQ(info->machineSerialNumber(), "W89201ZX1AQ");
  EXPECT_EQ(info->readableOperatingSystemVersion(), "Version 10.6.4 (Build 10F569)");
  EXPECT_EQ(info->readableOperatingSystemNumber(), "10.6.4");
  EXPECT_EQ(info->readableOperatingSystemBuild(), "10F569");
  EXPECT_EQ(info->readableKernelVersionNumber(), "10.4.0");
  EXPECT_EQ(info->bootROMVersion(), "MP41.0081.B07");
  EXPECT_EQ(info->computerName(), "Test Tower");
  EXPECT_EQ(info->machineUUID(), "6A2D1F3C-2B7E-5C41-9D0A-3E8F7B6C5D4A");
  EXPECT_TRUE(info->is64BitCapable());
  EXPECT_TRUE(info->isRunning64BitKernel());

  // Null places are skipped.
  info->getNumberOfCPUs(nullptr, nullptr, &physical);
  info->getCPUFrequency(nullptr, nullptr, nullptr);
}

TEST(ZORMachineInfoTest, EmptyMachineGivesTheFallbacks) {
  InstalledMachine installed(profileWithServices({}));
  auto info = gather();
  std::uint32_t cpus = 9, physical = 9;
  info->getNumberOfCPUs(&cpus, nullptr, &physical);
  EXPECT_EQ(cpus, 0u);
  EXPECT_EQ(physical, 0u);
  std::int32_t type = 9;
  info->getCPUType(&type, nullptr);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(info->nominalCPUFrequency(), 0u);
  EXPECT_EQ(info->memorySize(), 0u);
  EXPECT_FALSE(info->supportsAltiVec());
  EXPECT_EQ(info->appleModelCode(), "");
  EXPECT_EQ(info->readableKernelVersion(), "");
  EXPECT_EQ(info->machineSerialNumber(), "ZZZNOSERIAL");
  EXPECT_EQ(info->operatingSystemVersionCode(), 0x1000);
  EXPECT_EQ(info->bootROMVersion(), "");
  EXPECT_EQ(info->computerName(), "Macintosh");
  EXPECT_EQ(info->machineUUID(), "");
  EXPECT_FALSE(info->is64BitCapable());
  EXPECT_FALSE(info->isRunning64BitKernel());
  EXPECT_EQ(info->cpuFrequencyVariabilityFeature(), 0);
}

TEST(ZORMachineInfoTest, PhysicalCountFallsBackToTheCPUCount) {
  PlistDictionary profile = profileWithServices({});
  profile["Sysctl"] = PlistDictionary{{"hw.ncpu", number(4)}};
  InstalledMachine installed(profile);
  std::uint32_t physical = 0;
  gather()->getNumberOfCPUs(nullptr, nullptr, &physical);
  EXPECT_EQ(physical, 4u);
}

struct SerialCase {
  const char* what;
  PlistArray services;
  const char* serial;
};

class SerialNumberTest : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialNumberTest, HasOneOfThreeForms) {
  InstalledMachine installed(profileWithServices(GetParam().services));
  EXPECT_EQ(gather()->machineSerialNumber(), GetParam().serial) << GetParam().what;
}

const PlistValue kAddress = bytes({0x02, 0x11, 0x22, 0x3a, 0x4b, 0x5c});

INSTANTIATE_TEST_SUITE_P(
    Forms, SerialNumberTest,
    ::testing::Values(
        SerialCase{"platform serial", {platformExpert("C02ABC123DEF")}, "C02ABC123DEF"},
        SerialCase{"empty serial, primary interface",
                   {platformExpert(""), networkInterface("en0", true, kAddress)},
                   "ZZZNOSERIAL-0211223a4b5c"},
        SerialCase{"no serial, primary interface",
                   {platformExpert(std::nullopt), networkInterface("en0", true, kAddress)},
                   "ZZZNOSERIAL-0211223a4b5c"},
        SerialCase{
            "no primary interface", {networkInterface("en0", false, kAddress)}, "ZZZNOSERIAL"},
        SerialCase{"address of five bytes",
                   {networkInterface("en0", true, bytes({1, 2, 3, 4, 5}))},
                   "ZZZNOSERIAL"},
        SerialCase{"address as text",
                   {networkInterface("en0", true, text("02:11:22:3a:4b:5c"))},
                   "ZZZNOSERIAL"},
        SerialCase{
            "only the first primary interface is asked",
            {networkInterface("en0", true, bytes({1})), networkInterface("en1", true, kAddress)},
            "ZZZNOSERIAL"},
        SerialCase{"interfaces that are not primary are passed over",
                   {networkInterface("en0", false, bytes({9, 9, 9, 9, 9, 9})),
                    networkInterface("en1", true, kAddress)},
                   "ZZZNOSERIAL-0211223a4b5c"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

class ShortPrefixMachineInfo : public ZORMachineInfo {
 public:
  std::string fallBackSerialNumberPrefix() const override { return "NOSN"; }
};

TEST(ZORMachineInfoTest, FallbackAsksTheObjectsOwnClassForThePrefix) {
  InstalledMachine installed(profileWithServices({networkInterface("en0", true, kAddress)}));
  auto info = std::make_shared<ShortPrefixMachineInfo>();
  info->init();
  EXPECT_EQ(info->machineSerialNumber(), "NOSN-0211223a4b5c");
  EXPECT_FALSE(info->estimatedProductionDate());
}

struct ClockCase {
  const char* what;
  PlistArray services;
  std::uint64_t nominal;
  std::int32_t cpuVersion;
};

class NominalClockTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(NominalClockTest, ComesFromTheFirstProcessorDevice) {
  PlistDictionary profile = profileWithServices(GetParam().services);
  profile["Sysctl"] = PlistDictionary{{"hw.cpufrequency", number(2000000000)}};
  InstalledMachine installed(profile);
  auto info = gather();
  EXPECT_EQ(info->nominalCPUFrequency(), GetParam().nominal) << GetParam().what;
  EXPECT_EQ(info->cpuVersionCode(), GetParam().cpuVersion) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Devices, NominalClockTest,
    ::testing::Values(
        ClockCase{"cpu with a 64-bit maximum",
                  {processorDevice({{"device_type", cString("cpu")},
                                    {"max-clock-frequency", machineBytes(std::uint64_t{5} << 32)},
                                    {"cpu-version", machineBytes(std::uint32_t{0x7000})}})},
                  std::uint64_t{5} << 32,
                  0x7000},
        ClockCase{
            "cpu with a 32-bit maximum",
            {processorDevice({{"device_type", cString("cpu")},
                              {"max-clock-frequency", machineBytes(std::uint32_t{1800000000})},
                              {"clock-frequency", machineBytes(std::uint32_t{1})}})},
            1800000000,
            0},
        ClockCase{"cpu without a maximum uses its clock",
                  {processorDevice({{"device_type", cString("cpu")},
                                    {"clock-frequency", machineBytes(std::uint32_t{1250000000})}})},
                  1250000000,
                  0},
        ClockCase{"processor uses its clock",
                  {processorDevice({{"device_type", cString("processor")},
                                    {"max-clock-frequency", machineBytes(std::uint32_t{7})},
                                    {"clock-frequency", machineBytes(std::uint32_t{1000000000})}})},
                  1000000000,
                  0},
        ClockCase{
            "cpu version of the wrong length is passed over",
            {processorDevice({{"device_type", cString("cpu")}, {"cpu-version", bytes({1, 2, 3})}})},
            2000000000,
            0},
        ClockCase{"zero clock falls back to the current one",
                  {processorDevice({{"device_type", cString("cpu")},
                                    {"max-clock-frequency", machineBytes(std::uint32_t{0})}})},
                  2000000000,
                  0},
        ClockCase{"clock shorter than four bytes is not read",
                  {processorDevice({{"device_type", cString("cpu")},
                                    {"max-clock-frequency", bytes({0x10, 0x20})}})},
                  2000000000,
                  0},
        ClockCase{"no processor device", {}, 2000000000, 0},
        ClockCase{"only the first qualifying device counts",
                  {processorDevice({{"device_type", cString("processor")}}),
                   entry("IOPlatformDevice", "CPU1",
                         {{"device_type", cString("cpu")},
                          {"max-clock-frequency", machineBytes(std::uint32_t{99})}})},
                  2000000000,
                  0}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

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

TEST(ZORMachineInfoTest, SixtyFourBitKernelIsToldByTheKernelVersionAlone) {
  PlistDictionary profile = profileWithServices({});
  profile["Sysctl"] = PlistDictionary{{"kern.version", text("Kernel 10.0: RELEASE_X86_64")},
                                      {"hw.cpu64bit_capable", number(0)}};
  InstalledMachine installed(profile);
  auto info = gather();
  EXPECT_TRUE(info->isRunning64BitKernel());
  EXPECT_FALSE(info->is64BitCapable());
}

TEST(ZORMachineInfoTest, BootROMVersionComesFromTheDeviceTree) {
  struct Case {
    const char* what;
    std::optional<PlistValue> tree;
    const char* version;
  };
  const Case cases[] = {
      {"boot-rom model",
       deviceTree({entry("IOService", "boot-rom", {{"model", cString("B1")}})},
                  {{"version", cString("V")}}),
       "B1"},
      {"boot-rom without model", deviceTree({entry("IOService", "boot-rom")}, {}), ""},
      {"rom version and date",
       deviceTree({}, {{"version", cString("V 4.2")}, {"release-date", cString("03/04/05")}}),
       "V 4.2 (03/04/05)"},
      {"rom without date", deviceTree({}, {{"version", cString("V")}}), "V ()"},
      {"no rom", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    PlistDictionary profile = profileWithServices({});
    if (c.tree) profile["DeviceTree"] = *c.tree;
    InstalledMachine installed(profile);
    EXPECT_EQ(gather()->bootROMVersion(), c.version) << c.what;
  }
}

TEST(ZORMachineInfoTest, EmptyComputerNameIsReplaced) {
  PlistDictionary profile = profileWithServices({});
  profile["ComputerName"] = text("");
  InstalledMachine installed(profile);
  EXPECT_EQ(gather()->computerName(), "Macintosh");
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

TEST(ZORMachineInfoTest, SharedInstanceIsKeptUntilAnotherMachineIsInstalled) {
  std::shared_ptr<ZORMachineInfo> first;
  {
    InstalledMachine installed(fullProfile());
    first = ZORMachineInfo::sharedMachineInfo();
    EXPECT_EQ(ZORMachineInfo::sharedMachineInfo(), first);
    EXPECT_EQ(first->machineSerialNumber(), "W89201ZX1AQ");
  }
  InstalledMachine other(profileWithServices({platformExpert("OTHER")}));
  auto second = ZORMachineInfo::sharedMachineInfo();
  EXPECT_NE(second, first);
  EXPECT_EQ(second->machineSerialNumber(), "OTHER");
  // Whoever still holds the old description keeps it unchanged.
  EXPECT_EQ(first->machineSerialNumber(), "W89201ZX1AQ");
  ZORMachineInfo::forgetSharedMachineInfo();
  EXPECT_NE(ZORMachineInfo::sharedMachineInfo(), second);
}

TEST(ZORMachineInfoTest, DescriptionNamesTheMachine) {
  InstalledMachine installed(fullProfile());
  const std::string description = gather()->description();
  EXPECT_EQ(description.rfind("MacPro4,1, S/N W89201ZX1AQ UUID: 6A2D1F3C-2B7E-5C41-9D0A-"
                              "3E8F7B6C5D4A, named 'Test Tower': 8 CPUs, 4 physical, 7 active, "
                              "type 7:8, frequency 2260000000 Hz",
                              0),
            0u)
      << description;
  EXPECT_NE(description.find("variable: 2,"), std::string::npos);
  EXPECT_NE(description.find("L1 instruction cache 32768 bytes, L1 data cache 16384 bytes"),
            std::string::npos);
  EXPECT_NE(description.find("vector unit support YES, 64 bit support YES, 64 bit kernel YES"),
            std::string::npos);
  EXPECT_NE(description.find("build 10F569 OS code 1064, Darwin Kernel"), std::string::npos);
  EXPECT_NE(description.find("boot ROM version MP41.0081.B07"), std::string::npos);
}

TEST(ZORMachineInfoTest, BothArchivesGiveTheSameDescription) {
  InstalledMachine installed(fullProfile());
  auto original = gather();

  SequentialArchiver sequential;
  original->encodeWithCoder(sequential);
  SequentialArchiver reader(sequential.bytes());
  ZORMachineInfo fromSequential;
  ASSERT_TRUE(fromSequential.initWithCoder(reader));
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(fromSequential.description(), original->description());

  KeyedArchiver keyed;
  original->encodeWithKeyedCoder(keyed);
  EXPECT_EQ(keyed.count(), 33u);
  auto parsed = KeyedArchiver::fromBytes(keyed.bytes());
  ASSERT_TRUE(parsed);
  ZORMachineInfo fromKeyed;
  ASSERT_TRUE(fromKeyed.initWithKeyedCoder(*parsed));
  EXPECT_EQ(fromKeyed.description(), original->description());
  EXPECT_EQ(fromKeyed.nominalCPUFrequency(), original->nominalCPUFrequency());
  EXPECT_EQ(fromKeyed.cpuVersionCode(), original->cpuVersionCode());
  EXPECT_EQ(fromKeyed.readableOperatingSystemNumber(), "10.6.4");
  EXPECT_EQ(fromKeyed.readableKernelVersionNumber(), "10.4.0");
}

TEST(ZORMachineInfoTest, DecodingGathersNothingFromThisMachine) {
  std::string archive;
  {
    InstalledMachine installed(fullProfile());
    SequentialArchiver coder;
    gather()->encodeWithCoder(coder);
    archive = coder.bytes();
  }
  InstalledMachine other(profileWithServices({platformExpert("OTHER")}));
  SequentialArchiver reader(archive);
  ZORMachineInfo decoded;
  ASSERT_TRUE(decoded.initWithCoder(reader));
  EXPECT_EQ(decoded.machineSerialNumber(), "W89201ZX1AQ");
  EXPECT_EQ(decoded.appleModelCode(), "MacPro4,1");
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

TEST(ZORMachineInfoTest, TravelsByCopyUnlessAReferenceIsAsked) {
  InstalledMachine installed(fullProfile());
  auto info = gather();
  auto connection = std::make_shared<PortConnection>();

  PortCoder byCopy(connection, false);
  EXPECT_EQ(info->replacementObjectForPortCoder(byCopy), info);
  byCopy.encodePortObject(info);
  EXPECT_EQ(connection->exportedObjectCount(), 0u);

  PortCoder byReference(connection, true);
  auto replacement = info->replacementObjectForPortCoder(byReference);
  auto proxy = std::dynamic_pointer_cast<DistantObject>(replacement);
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(proxy->local(), info);
  EXPECT_EQ(connection->exportedObjectCount(), 1u);
}

}  // namespace
}  // namespace zor::testing

#include "platform/SystemServices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/ProcessInfo.h"
#include "platform/SystemBackend.h"
#include "platform/UserDefaults.h"
#include "system/SystemTestMachine.h"

namespace zor::testing {
namespace {

PlistDictionary servicesProfile() {
  PlistDictionary profile = profileWithServices({});
  profile["Sysctl"] = PlistDictionary{
      {"hw.ncpu", number(4)},
      {"hw.memsize", number(8589934592)},
      {"hw.model", text("MacPro4,1")},
      {"kern.version", text("Darwin Kernel Version 10.4.0: build")},
  };
  profile["HostInfo"] = PlistDictionary{{"CPUType", number(7)}, {"CPUSubType", number(8)}};
  profile["ComputerName"] = text("Test Tower");
  profile["OperatingSystemVersionString"] = text("Version 10.6.4 (Build 10F569)");
  profile["Files"] = PlistDictionary{
      {"/etc/raw", bytes({'a', 0, 'b'})},
      {"/etc/text", text("line\n")},
      {"/etc/list.plist", PlistValue(PlistDictionary{{"Key", text("Value")}})},
      {"/etc/array.plist", PlistValue(PlistArray{text("x")})},
  };
  profile["Processes"] = PlistArray{
      PlistValue(PlistDictionary{
          {"PID", number(7)}, {"Command", text("short")}, {"EffectiveUID", number(501)}}),
      PlistValue(PlistDictionary{{"PID", number(8)},
                                 {"Command", text("a-command-name-longer-than-16")},
                                 {"EffectiveUID", number(4294967294)}}),
  };
  return profile;
}

std::int32_t int32At(const std::string& table, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, table.data() + offset, sizeof value);
  return value;
}

TEST(SystemServicesTest, IntegersComeInTheirKernelWidth) {
  InstalledMachine installed(servicesProfile());
  std::size_t size = 0;
  ASSERT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), 0);
  EXPECT_EQ(size, 4u);
  ASSERT_EQ(os::sysctlbyname("hw.memsize", nullptr, &size), 0);
  EXPECT_EQ(size, 8u);

  const int memsize[2] = {os::CTL_HW, os::HW_MEMSIZE};
  std::uint64_t memory = 0;
  size = sizeof memory;
  ASSERT_EQ(os::sysctl(memsize, 2, &memory, &size), 0);
  EXPECT_EQ(memory, 8589934592u);

  std::uint32_t small = 0;
  size = sizeof small;
  errno = 0;
  EXPECT_EQ(os::sysctl(memsize, 2, &small, &size), -1);
  EXPECT_EQ(errno, ENOMEM);
}

TEST(SystemServicesTest, TextsCarryTheirNulAndAreCutWithAnError) {
  InstalledMachine installed(servicesProfile());
  const int model[2] = {os::CTL_HW, os::HW_MODEL};
  char buffer[64];
  std::size_t size = sizeof buffer;
  ASSERT_EQ(os::sysctl(model, 2, buffer, &size), 0);
  EXPECT_EQ(size, std::strlen("MacPro4,1") + 1);
  EXPECT_STREQ(buffer, "MacPro4,1");

  char shortBuffer[4] = {'x', 'x', 'x', 'x'};
  size = sizeof shortBuffer;
  errno = 0;
  EXPECT_EQ(os::sysctl(model, 2, shortBuffer, &size), -1);
  EXPECT_EQ(errno, ENOMEM);
  EXPECT_EQ(std::string(shortBuffer, 4), "MacP");
}

TEST(SystemServicesTest, MissingVariablesWritesAndBadPathsFail) {
  InstalledMachine installed(servicesProfile());
  struct Case {
    const char* what;
    int result;
    int error;
  };
  std::uint32_t value = 0;
  std::size_t size = sizeof value;
  const int unknown[2] = {os::CTL_HW, 99};
  const int l3[2] = {os::CTL_HW, os::HW_L3CACHESIZE};
  const int one[1] = {os::CTL_HW};
  const Case cases[] = {
      {"named variable not in the profile", os::sysctlbyname("hw.l2cachesize", &value, &size),
       ENOENT},
      {"path with no name", os::sysctl(unknown, 2, &value, &size), ENOENT},
      {"known path, variable absent", os::sysctl(l3, 2, &value, &size), ENOENT},
      {"one-element path", os::sysctl(one, 1, &value, &size), EINVAL},
      {"write", os::sysctlbyname("hw.ncpu", nullptr, &size, &value, sizeof value), EPERM},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, -1) << c.what;
  }
  errno = 0;
  EXPECT_EQ(os::sysctlbyname("hw.l2cachesize", &value, &size), -1);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size, &value, sizeof value), -1);
  EXPECT_EQ(errno, EPERM);
}

TEST(SystemServicesTest, ProcessTableHoldsOneRecordPerProcess) {
  InstalledMachine installed(servicesProfile());
  const int path[3] = {os::CTL_KERN, os::KERN_PROC, os::KERN_PROC_ALL};
  std::size_t size = 0;
  ASSERT_EQ(os::sysctl(path, 3, nullptr, &size), 0);
  ASSERT_EQ(size, 2 * os::kKinfoProcSize);
  std::string table(size, '\xff');
  ASSERT_EQ(os::sysctl(path, 3, table.data(), &size), 0);

  EXPECT_EQ(int32At(table, os::kKinfoProcPIDOffset), 7);
  EXPECT_STREQ(table.data() + os::kKinfoProcCommandOffset, "short");
  EXPECT_EQ(int32At(table, os::kKinfoProcEffectiveUIDOffset), 501);

  const std::string second = table.substr(os::kKinfoProcSize);
  EXPECT_EQ(int32At(second, os::kKinfoProcPIDOffset), 8);
  // The kernel keeps 16 characters of a command name.
  EXPECT_STREQ(second.data() + os::kKinfoProcCommandOffset, "a-command-name-l");
  EXPECT_EQ(static_cast<std::uint32_t>(int32At(second, os::kKinfoProcEffectiveUIDOffset)),
            4294967294u);
}

TEST(SystemServicesTest, HostBasicInfoCarriesTheProfilesCPUType) {
  InstalledMachine installed(servicesProfile());
  os::integer_t words[os::HOST_BASIC_INFO_COUNT] = {};
  std::uint32_t count = os::HOST_BASIC_INFO_COUNT;
  ASSERT_EQ(os::host_info(os::mach_host_self(), os::HOST_BASIC_INFO, words, &count),
            os::KERN_SUCCESS);
  EXPECT_EQ(count, os::HOST_BASIC_INFO_COUNT);
  EXPECT_EQ(words[os::kHostBasicInfoCPUType], 7);
  EXPECT_EQ(words[os::kHostBasicInfoCPUSubType], 8);
  EXPECT_EQ(words[os::kHostBasicInfoMaxCPUs], 4);
  EXPECT_NE(os::host_info(os::mach_host_self(), 99, words, &count), os::KERN_SUCCESS);
}

TEST(SystemServicesTest, HostInfoFailsWithoutTheProfileKey) {
  PlistDictionary profile = servicesProfile();
  profile.erase("HostInfo");
  InstalledMachine installed(profile);
  os::integer_t words[os::HOST_BASIC_INFO_COUNT] = {};
  std::uint32_t count = os::HOST_BASIC_INFO_COUNT;
  EXPECT_EQ(os::host_info(os::mach_host_self(), os::HOST_BASIC_INFO, words, &count),
            os::KERN_FAILURE);
}

TEST(SystemServicesTest, HostUUIDFunctionExistsOnlyWithTheProfileKey) {
  {
    InstalledMachine installed(servicesProfile());
    EXPECT_EQ(os::lookupGethostuuid(), nullptr);
  }
  PlistDictionary profile = servicesProfile();
  profile["HostUUID"] = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  profile["HostUUIDDelay"] = PlistValue::real(2.0);
  InstalledMachine installed(profile);
  os::gethostuuid_t gethostuuid = os::lookupGethostuuid();
  ASSERT_NE(gethostuuid, nullptr);
  unsigned char uuid[16] = {};
  const std::timespec oneSecond{1, 0};
  errno = 0;
  EXPECT_EQ(gethostuuid(uuid, &oneSecond), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  const std::timespec threeSeconds{3, 0};
  ASSERT_EQ(gethostuuid(uuid, &threeSeconds), 0);
  EXPECT_EQ(uuid[0], 1);
  EXPECT_EQ(uuid[15], 16);
}

TEST(SystemServicesTest, FilesAreServedAsBytesOrPropertyLists) {
  InstalledMachine installed(servicesProfile());
  EXPECT_EQ(os::contentsOfSystemFile("/etc/raw"), std::string("a\0b", 3));
  EXPECT_EQ(os::contentsOfSystemFile("/etc/text"), "line\n");
  EXPECT_FALSE(os::contentsOfSystemFile("/etc/none"));

  auto dictionary = os::dictionaryWithContentsOfSystemFile("/etc/list.plist");
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->at("Key"), text("Value"));
  EXPECT_FALSE(os::dictionaryWithContentsOfSystemFile("/etc/array.plist"));
  EXPECT_FALSE(os::dictionaryWithContentsOfSystemFile("/etc/raw"));

  installed.machine().system().setFile("/etc/new", text("fresh"));
  installed.machine().system().removeFile("/etc/text");
  EXPECT_EQ(os::contentsOfSystemFile("/etc/new"), "fresh");
  EXPECT_FALSE(os::contentsOfSystemFile("/etc/text"));
}

TEST(SystemServicesTest, NamesComeFromTheProfile) {
  InstalledMachine installed(servicesProfile());
  EXPECT_EQ(os::CSCopyMachineName(), "Test Tower");
  EXPECT_EQ(ProcessInfo::processInfo().operatingSystemVersionString(),
            "Version 10.6.4 (Build 10F569)");
}

TEST(SystemServicesTest, WithoutAMachineEveryQueryFails) {
  SimulatedMachine::install(nullptr);
  std::size_t size = 0;
  EXPECT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), -1);
  os::integer_t words[os::HOST_BASIC_INFO_COUNT] = {};
  std::uint32_t count = os::HOST_BASIC_INFO_COUNT;
  EXPECT_NE(os::host_info(os::mach_host_self(), os::HOST_BASIC_INFO, words, &count),
            os::KERN_SUCCESS);
  EXPECT_EQ(os::lookupGethostuuid(), nullptr);
  EXPECT_FALSE(os::CSCopyMachineName());
  EXPECT_FALSE(os::contentsOfSystemFile("/etc/raw"));
  EXPECT_EQ(ProcessInfo::processInfo().operatingSystemVersionString(), "");
}

TEST(SystemServicesTest, EveryInstallationStartsANewGeneration) {
  const std::uint64_t before = SystemBackend::generation();
  {
    InstalledMachine installed(servicesProfile());
    EXPECT_GT(SystemBackend::generation(), before);
  }
  EXPECT_GT(SystemBackend::generation(), before + 1);
}

TEST(SystemServicesTest, InstallingSeedsTheStandardDefaultsAndRemovingClearsThem) {
  PlistDictionary profile = servicesProfile();
  profile["UserDefaults"] = PlistDictionary{{"TraceSMARTTemperatures", PlistValue::boolean(true)}};
  {
    InstalledMachine installed(profile);
    EXPECT_TRUE(UserDefaults::standard().hasKey("TraceSMARTTemperatures"));
    EXPECT_FALSE(UserDefaults::standard().hasKey("DebugSMARTAccess"));
  }
  EXPECT_FALSE(UserDefaults::standard().hasKey("TraceSMARTTemperatures"));
}

struct RefusalCase {
  const char* what;
  const char* key;
  PlistValue value;
  const char* mentioned;
};

class ProfileRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ProfileRefusalTest, NamesTheKeyAndLoadsNothing) {
  PlistDictionary profile = profileWithServices({});
  profile[GetParam().key] = GetParam().value;
  std::string error;
  auto machine = SimulatedMachine::fromProfile(PlistValue(profile), "bad.plist", &error);
  EXPECT_EQ(machine, nullptr);
  EXPECT_NE(error.find("bad.plist"), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().mentioned), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ProfileRefusalTest,
    ::testing::Values(
        RefusalCase{"sysctl array", "Sysctl", PlistValue(PlistArray{}), "Sysctl"},
        RefusalCase{"sysctl real", "Sysctl",
                    PlistValue(PlistDictionary{{"hw.ncpu", PlistValue::real(2.5)}}),
                    "Sysctl/hw.ncpu"},
        RefusalCase{"host info half", "HostInfo",
                    PlistValue(PlistDictionary{{"CPUType", number(7)}}), "HostInfo"},
        RefusalCase{"uuid short", "HostUUID", bytes({1, 2, 3}), "HostUUID"},
        RefusalCase{"uuid text", "HostUUID", text("6A2D1F3C"), "HostUUID"},
        RefusalCase{"computer name number", "ComputerName", number(3), "ComputerName"},
        RefusalCase{"relative file", "Files", PlistValue(PlistDictionary{{"etc/x", text("a")}}),
                    "etc/x"},
        RefusalCase{"file number", "Files", PlistValue(PlistDictionary{{"/etc/x", number(1)}}),
                    "/etc/x"},
        RefusalCase{"process without pid", "Processes",
                    PlistValue(PlistArray{PlistValue(PlistDictionary{{"Command", text("a")}})}),
                    "Processes/0/PID"},
        RefusalCase{"process pid too big", "Processes",
                    PlistValue(PlistArray{PlistValue(PlistDictionary{{"PID", number(1LL << 40)}})}),
                    "Processes/0/PID"},
        RefusalCase{"defaults array", "UserDefaults", PlistValue(PlistArray{}), "UserDefaults"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace zor::testing

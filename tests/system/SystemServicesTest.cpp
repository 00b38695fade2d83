#include "platform/SystemServices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <tuple>

#include "platform/ProcessInfo.h"
#include "system/SystemTestMachine.h"

namespace zor::testing {
namespace {

PlistDictionary servicesProfile() {
  PlistDictionary profile = profileWithServices({});
  profile["Sysctl"] = PlistDictionary{
      {"hw.ncpu", number(4)}, {"hw.memsize", number(8589934592)}, {"hw.model", text("MacPro4,1")}};
  return profile;
}

// Numbers come in their kernel width, texts with their NUL; a buffer too
// short gets what fits and ENOMEM; missing variables, writes and bad paths fail.
TEST(SystemServicesTest, VariablesAndTheirFailures) {
  InstalledMachine installed(servicesProfile());
  std::size_t size = 0;
  ASSERT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), 0);
  EXPECT_EQ(size, 4u);
  const int memsize[2] = {os::CTL_HW, os::HW_MEMSIZE};
  std::uint64_t memory = 0;
  size = sizeof memory;
  ASSERT_EQ(os::sysctl(memsize, 2, &memory, &size), 0);
  EXPECT_EQ(memory, 8589934592u);
  const int model[2] = {os::CTL_HW, os::HW_MODEL};
  char buffer[64];
  size = sizeof buffer;
  ASSERT_EQ(os::sysctl(model, 2, buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, size), std::string("MacPro4,1", 10));

  char shortBuffer[4] = {'x', 'x', 'x', 'x'};
  std::uint32_t value = 0;
  const int unknown[2] = {os::CTL_HW, 99};
  const int l3[2] = {os::CTL_HW, os::HW_L3CACHESIZE};
  const int one[1] = {os::CTL_HW};
  const std::pair<std::function<int()>, int> cases[] = {
      {[&] { return os::sysctl(memsize, 2, &value, &size); }, ENOMEM},
      {[&] { return os::sysctl(model, 2, shortBuffer, &size); }, ENOMEM},
      {[&] { return os::sysctlbyname("hw.l2cachesize", &value, &size); }, ENOENT},
      {[&] { return os::sysctl(unknown, 2, &value, &size); }, ENOENT},
      {[&] { return os::sysctl(l3, 2, &value, &size); }, ENOENT},
      {[&] { return os::sysctl(one, 1, &value, &size); }, EINVAL},
      {[&] { return os::sysctlbyname("hw.ncpu", nullptr, &size, &value, sizeof value); }, EPERM},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    size = sizeof value;  // as long as the short buffer
    errno = 0;
    EXPECT_EQ(cases[i].first(), -1) << i;
    EXPECT_EQ(errno, cases[i].second) << i;
  }
  EXPECT_EQ(std::string(shortBuffer, 4), "MacP");
  // Without a machine every query fails.
  Machine::install(nullptr);
  EXPECT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), -1);
  EXPECT_EQ(os::lookupGethostuuid(), nullptr);
  EXPECT_FALSE(os::CSCopyMachineName());
  EXPECT_FALSE(os::contentsOfSystemFile("/etc/raw"));
  EXPECT_EQ(ProcessInfo::processInfo().operatingSystemVersionString(), "");
}

TEST(SystemServicesTest, BadProfileKeysAreNamedInOneLineAndLoadNothing) {
  const std::tuple<const char*, PlistValue, const char*> cases[] = {
      {"Sysctl", PlistValue(PlistDictionary{{"hw.ncpu", PlistValue::real(2.5)}}), "Sysctl/hw.ncpu"},
      {"HostUUID", bytes({1, 2, 3}), "HostUUID"},
      {"Files", PlistValue(PlistDictionary{{"etc/x", text("a")}}), "etc/x"},
      {"Processes", PlistValue(PlistArray{PlistValue(PlistDictionary{{"PID", number(1LL << 40)}})}),
       "Processes/0/PID"},
      {"UserDefaults", PlistValue(PlistArray{}), "UserDefaults"},
  };
  for (const auto& [key, value, mentioned] : cases) {
    PlistDictionary profile = profileWithServices({});
    profile[key] = value;
    std::string error;
    EXPECT_EQ(Machine::fromProfile(PlistValue(profile), "bad.plist", &error), nullptr) << key;
    EXPECT_NE(error.find("bad.plist"), std::string::npos) << error;
    EXPECT_NE(error.find(mentioned), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zor::testing

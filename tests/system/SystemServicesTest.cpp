#include "platform/SystemServices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

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
  const int memsize[2] = {os::CTL_HW, os::HW_MEMSIZE};
  std::uint64_t memory = 0;
  std::size_t size = sizeof memory;
  ASSERT_EQ(os::sysctl(memsize, 2, &memory, &size), 0);
  EXPECT_EQ(memory, 8589934592u);
  char buffer[64];
  size = sizeof buffer;
  ASSERT_EQ(os::sysctlbyname("hw.model", buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, size), std::string("MacPro4,1", 10));

  char shortBuffer[4] = {'x', 'x', 'x', 'x'};
  std::uint32_t value = 0;
  const std::pair<std::function<int()>, int> cases[] = {
      {[&] { return os::sysctl(memsize, 2, &value, &size); }, ENOMEM},
      {[&] { return os::sysctlbyname("hw.model", shortBuffer, &size); }, ENOMEM},
      {[&] { return os::sysctlbyname("hw.l2cachesize", &value, &size); }, ENOENT},
      {[&] { return os::sysctlbyname("hw.ncpu", nullptr, &size, &value, sizeof value); }, EPERM},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    size = sizeof value;  // as long as the short buffer
    errno = 0;
    EXPECT_EQ(cases[i].first(), -1) << i;
    EXPECT_EQ(errno, cases[i].second) << i;
  }
  EXPECT_EQ(std::string(shortBuffer, 4), "MacP");
  Machine::install(nullptr);
  EXPECT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), -1);
}

// A bad key is named in one line and nothing is loaded.
TEST(SystemServicesTest, BadProfileKeysAreNamedInOneLine) {
  const std::pair<std::string, PlistValue> cases[] = {
      {"Sysctl/hw.ncpu", PlistValue(PlistDictionary{{"hw.ncpu", PlistValue::real(2.5)}})},
      {"Processes/0/PID",
       PlistValue(PlistArray{PlistValue(PlistDictionary{{"PID", number(1LL << 40)}})})}};
  for (const auto& [mentioned, value] : cases) {
    PlistDictionary profile = profileWithServices({});
    profile[mentioned.substr(0, mentioned.find('/'))] = value;
    std::string error;
    EXPECT_EQ(Machine::fromProfile(PlistValue(profile), "bad.plist", &error), nullptr);
    EXPECT_NE(error.find(mentioned), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zor::testing

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
  const int one[1] = {os::CTL_HW};
  const std::pair<std::function<int()>, int> cases[] = {
      {[&] { return os::sysctl(memsize, 2, &value, &size); }, ENOMEM},
      {[&] { return os::sysctlbyname("hw.model", shortBuffer, &size); }, ENOMEM},
      {[&] { return os::sysctlbyname("hw.l2cachesize", &value, &size); }, ENOENT},
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
  Machine::install(nullptr);
  EXPECT_EQ(os::sysctlbyname("hw.ncpu", nullptr, &size), -1);
}

}  // namespace
}  // namespace zor::testing

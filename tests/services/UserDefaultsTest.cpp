#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/simulated/SimulatedMachine.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

const std::string kDomain = "org.zorsensors.widget.sensors";

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { UserDefaults::setPreferencesDirectory(dir_.path()); }
  void TearDown() override { UserDefaults::setPreferencesDirectory(""); }

  std::string domainFile() const { return dir_.file(kDomain + ".plist"); }
  std::optional<PlistValue> fileContents() const { return readPropertyListFile(domainFile()); }
  // Sets and writes `domain` from a store of its own.
  static bool write(const PlistDictionary& domain, const std::string& name = kDomain) {
    UserDefaults defaults;
    defaults.setPersistentDomain(domain, name);
    return defaults.synchronize();
  }

  testing::ScopedTempDirectory dir_;
};

TEST_F(UserDefaultsTest, InvalidDomainNamesHaveNoDomainAndWriteNothing) {
  for (const std::string& name : {std::string(".."), std::string("a/b"), std::string("a\0b", 3)}) {
    ScopedLogCapture log;
    const bool written = write({{"k", "v"}}, name);
    EXPECT_EQ(std::tuple(written, UserDefaults().persistentDomainForName(name), log.lines().size()),
              std::tuple(true, std::nullopt, 1u));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

// Each write merges only the keys its process changed or removed into the
// file as the other process left it.
TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceKeepEveryKey) {
  ASSERT_TRUE(write({{"Dropped", "x"}}));
  UserDefaults defaults;  // both processes start from this view, "Dropped" removed
  defaults.setPersistentDomain({}, kDomain);
  auto writeRounds = [&defaults](const std::string& prefix) {
    for (int i = 0; i < 40; ++i) {
      defaults.setPersistentValue(PlistValue::integer(i), {prefix + std::to_string(i)}, kDomain);
      if (!defaults.synchronize()) return false;
    }
    return true;
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(writeRounds("child") ? 0 : 1);
  EXPECT_TRUE(writeRounds("parent"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(fileContents()->asDictionary()->size(), 80u) << "and no \"Dropped\"";
}

// What may stand where the preferences file or a machine profile is read.
// Profiles are refused with their one line. Reading preferences moves nothing
// (the write logs the only line); a file that is no regular file is left alone
// and the write fails until it is gone; a damaged or oversized one is moved
// aside by the write, under its time (another in the same second gets its own name).
TEST_F(UserDefaultsTest, UnsoundFilesAreNeitherReadNorClobbered) {
  ScopedManualClock clock(1700000000.0);  // 2023-11-14 22:13:20 UTC
  const std::string aside = domainFile() + ".corrupt-20231114T221320Z";
  const std::string profile = dir_.file("machine.plist");
  const PlistDictionary written{{"k", PlistValue::integer(1)}};
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"FIFO", "not a regular file", nullptr},
      {"\x01\x02 not a plist", "", ""},
      {"<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>", "", "-1"},
      {"oversized", "larger than 16 MB", "-2"}};
  alarm(20);  // a reader waiting for a FIFO's writer fails the test instead of hanging it
  for (const auto& [bytes, reason, suffix] : cases) {
    SCOPED_TRACE(bytes);
    for (const std::string& path : {profile, domainFile()}) {
      std::filesystem::remove(path);
      if (bytes == "FIFO") {
        EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
      } else {
        std::ofstream(path, std::ios::binary) << bytes;
        if (bytes == "oversized") std::filesystem::resize_file(path, 16 * 1024 * 1024 + 1);
      }
    }
    std::string error;
    EXPECT_EQ(SimulatedMachine::load(profile, &error), nullptr);
    EXPECT_TRUE(error.find(reason) != std::string::npos && error.find('\n') == std::string::npos)
        << error;
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(kDomain), std::nullopt);
    defaults.setPersistentDomain(written, kDomain);
    EXPECT_EQ(defaults.synchronize(), suffix != nullptr);
    EXPECT_TRUE(log.lines().size() == 1 && log.contains(reason) &&
                (!suffix || log.contains(aside + suffix)));
    EXPECT_EQ(suffix ? std::filesystem::file_size(aside + suffix) : 0,  // the whole file
              !suffix                ? 0
              : bytes == "oversized" ? 16777217
                                     : bytes.size());
    if (!suffix) std::filesystem::remove(domainFile());
    EXPECT_TRUE(defaults.synchronize()) << "what could not be written stays pending";
    EXPECT_EQ(fileContents(), PlistValue(written));
  }
  alarm(0);
}

// A store kept in memory neither reads what is on disk nor writes to it, yet
// answers with what this process set.
TEST_F(UserDefaultsTest, KeptInMemoryNeitherReadsNorWritesTheFolder) {
  ASSERT_TRUE(write({{"IndexOfTemperatureUnit", PlistValue::integer(1)}}));
  UserDefaults::setKeptInMemory(true);
  UserDefaults store;
  const PlistDictionary set{{"IndexOfTemperatureUnit", PlistValue::integer(2)}};
  EXPECT_EQ(store.persistentDomainForName(kDomain), std::nullopt);
  store.setPersistentDomain(set, kDomain);
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(store.persistentDomainForName(kDomain), set);
  UserDefaults::setKeptInMemory(false);
  EXPECT_EQ(fileContents()->asDictionary()->at("IndexOfTemperatureUnit"), PlistValue::integer(1));
}

// A folder set wins; a relative XDG_CONFIG_HOME is ignored.
TEST_F(UserDefaultsTest, FolderFollowsEnvironment) {
  const std::tuple<std::optional<std::string>, const char*, const char*> cases[] = {
      {"/cfg", "", "/cfg/zorsensors"},
      {"cfg", "", "/home/u/.config/zorsensors"},
      {"/cfg", "/srv/prefs/", "/srv/prefs"}};
  for (const auto& [xdg, set, expected] : cases) {
    testing::ScopedEnvironment env({{"XDG_CONFIG_HOME", xdg}, {"HOME", "/home/u"}});
    UserDefaults::setPreferencesDirectory(set);
    EXPECT_EQ(UserDefaults::preferencesDirectory(), expected);
  }
}

// "-Key value" arguments, read as scalars where they are one, win over the
// registered standard domain; GNU-style "--options" and their values are no defaults.
TEST(UserDefaultsArgumentTest, ArgumentsAreScalarsAndTakePrecedence) {
  UserDefaults defaults;
  defaults.registerStandardDomain({{"A", PlistValue::boolean(false)}, {"B", "standard"}});
  std::istringstream line(
      "zor-widget-host --stdio -A YES --port 8080 -C NO -D 42 -E 3.5 "
      "-F 99999999999999999999 -G 12abc -H nan -Dangling");
  std::vector<std::string> words{std::istream_iterator<std::string>(line), {}};
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  defaults.setArgumentDomain(static_cast<int>(argv.size()), argv.data());
  std::vector<PlistValue> found;
  for (const char* key : {"A", "B", "C", "D", "E", "F", "G", "H", "Dangling", "-stdio", "-port"}) {
    found.push_back(defaults.hasKey(key) ? *defaults.objectForKey(key) : PlistValue("-"));
  }
  EXPECT_EQ(found, std::vector<PlistValue>({PlistValue::boolean(true), "standard",
                                            PlistValue::boolean(false), PlistValue::integer(42),
                                            PlistValue::real(3.5), PlistValue::real(1e20), "12abc",
                                            "nan", "-", "-", "-"}));
}

}  // namespace
}  // namespace zor

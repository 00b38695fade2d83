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
    EXPECT_TRUE(write({{"k", "v"}}, name));
    EXPECT_EQ(UserDefaults().persistentDomainForName(name), std::nullopt);
    EXPECT_EQ(log.lines().size(), 1u) << name;
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

// Each damaged file is moved aside once, under the time of the write, with
// one log line; a second one in the same second gets its own name.
TEST_F(UserDefaultsTest, DamagedFilesAreMovedAside) {
  ScopedManualClock clock(1700000000.0);  // 2023-11-14 22:13:20 UTC
  const std::string aside = domainFile() + ".corrupt-20231114T221320Z";
  const PlistDictionary unit{{"IndexOfTemperatureUnit", PlistValue::integer(1)}};
  const std::pair<std::string, std::string> damaged[] = {
      {"\x01\x02 not a plist", ""},
      {"<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>", "-1"},
  };
  for (const auto& [bytes, suffix] : damaged) {
    std::ofstream(domainFile(), std::ios::binary) << bytes;
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(kDomain), std::nullopt);
    EXPECT_TRUE(log.lines().empty());  // reading alone moves nothing
    defaults.setPersistentDomain(unit, kDomain);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(readWholeFile(aside + suffix), bytes);
    EXPECT_TRUE(log.lines().size() == 1 && log.contains(aside + suffix)) << suffix;
    EXPECT_EQ(fileContents(), PlistValue(unit));
  }
}

// A store kept in memory neither reads what is on disk nor writes to it, yet
// answers with what this process set.
TEST_F(UserDefaultsTest, KeptInMemoryNeitherReadsNorWritesTheFolder) {
  ASSERT_TRUE(write({{"IndexOfTemperatureUnit", PlistValue::integer(1)}}));
  UserDefaults::setKeptInMemory(true);
  UserDefaults store;
  EXPECT_EQ(store.persistentDomainForName(kDomain), std::nullopt);
  store.setPersistentDomain({{"IndexOfTemperatureUnit", PlistValue::integer(2)}}, kDomain);
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(store.persistentDomainForName(kDomain)->at("IndexOfTemperatureUnit"),
            PlistValue::integer(2));
  UserDefaults::setKeptInMemory(false);
  EXPECT_EQ(fileContents()->asDictionary()->at("IndexOfTemperatureUnit"), PlistValue::integer(1));
}

TEST(UserDefaultsFolderTest, DefaultFollowsEnvironment) {
  const std::tuple<std::optional<std::string>, const char*, const char*> cases[] = {
      {"/cfg", "", "/cfg/zorsensors"},
      {"cfg", "", "/home/u/.config/zorsensors"},  // a relative folder is ignored
      {"/cfg", "/srv/prefs/", "/srv/prefs"},
  };
  for (const auto& [xdg, set, expected] : cases) {
    testing::ScopedEnvironment env({{"XDG_CONFIG_HOME", xdg}, {"HOME", "/home/u"}});
    UserDefaults::setPreferencesDirectory(set);
    EXPECT_EQ(UserDefaults::preferencesDirectory(), expected);
  }
  UserDefaults::setPreferencesDirectory("");
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

// A FIFO or an oversized file where a machine profile or preferences file is read.
void place(bool fifo, const std::string& path) {
  if (fifo) {
    EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
  } else {
    std::ofstream{path};
    std::filesystem::resize_file(path, 16 * 1024 * 1024 + 1);  // sparse: costs no disk
  }
}

// Profiles are refused with their one line; a preferences file that is no
// regular file is left alone and the write fails, an oversized one is moved aside.
TEST(UntrustedFilesTest, OnlyBoundedRegularFilesAreReadAsProfilesAndPreferences) {
  const std::pair<bool, std::string> cases[] = {{true, "not a regular file"},
                                                {false, "larger than 16 MB"}};
  const std::string domain = "org.zorsensors.widget.sensors";
  const PlistDictionary written{{"k", PlistValue::integer(1)}};
  alarm(20);  // a reader waiting for a FIFO's writer fails the test instead of hanging it
  for (const auto& [fifo, reason] : cases) {
    SCOPED_TRACE(reason);
    testing::ScopedTempDirectory directory;
    const std::string profile = directory.file("machine.plist");
    const std::string preferences = directory.file(domain + ".plist");
    place(fifo, profile);
    place(fifo, preferences);
    std::string error;
    EXPECT_EQ(SimulatedMachine::load(profile, &error), nullptr);
    EXPECT_TRUE(error.find(reason) != std::string::npos && error.find('\n') == std::string::npos)
        << error;

    UserDefaults::setPreferencesDirectory(directory.path());
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(domain), std::nullopt);
    defaults.setPersistentDomain(written, domain);
    EXPECT_EQ(defaults.synchronize(), !fifo);
    EXPECT_TRUE(log.contains(reason));
    // What could not be written stays pending until the file can be replaced.
    if (fifo) std::filesystem::remove(preferences);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(readPropertyListFile(preferences), PlistValue(written));
    UserDefaults::setPreferencesDirectory("");
  }
  alarm(0);
}

}  // namespace
}  // namespace zor

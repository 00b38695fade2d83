#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
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
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "../escape", "a/b", {"a\0b", 3}}) {
    ScopedLogCapture log;
    EXPECT_TRUE(write({{"k", "v"}}, name));
    EXPECT_EQ(UserDefaults().persistentDomainForName(name), std::nullopt);
    EXPECT_EQ(log.lines().size(), 1u) << name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

// Two writers that both read the domain before either wrote: each merges
// only the keys it changed or removed into the file as it is then.
TEST_F(UserDefaultsTest, WritersMergeTheirOwnKeysIntoTheFile) {
  ASSERT_TRUE(write({{"Shared", "old"}, {"Dropped", "x"}}));
  UserDefaults first, second;
  PlistDictionary firstView = *first.persistentDomainForName(kDomain);
  PlistDictionary secondView = *second.persistentDomainForName(kDomain);
  firstView["Shared"] = "from first";
  first.setPersistentDomain(firstView, kDomain);
  ASSERT_TRUE(first.synchronize());
  secondView["Second"] = "2";
  secondView.erase("Dropped");
  second.setPersistentDomain(secondView, kDomain);
  ASSERT_TRUE(second.synchronize());
  EXPECT_EQ(fileContents(), PlistValue(PlistDictionary{{"Second", "2"}, {"Shared", "from first"}}));
  EXPECT_EQ(PlistValue(*second.persistentDomainForName(kDomain)), fileContents());
}

TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceKeepEveryKey) {
  auto writeRounds = [](const std::string& prefix) {
    UserDefaults defaults;
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
  // Each write merges its own key into the file as the other left it.
  EXPECT_EQ(fileContents()->asDictionary()->size(), 80u);
}

// Each damaged file is moved aside once, under the time of the write, with
// one log line; a second one in the same second gets its own name. A folder
// in the file's place cannot be read: the write fails and clobbers nothing.
TEST_F(UserDefaultsTest, DamagedFilesAreMovedAsideUnreadableOnesKept) {
  ScopedManualClock clock(1700000000.0);  // 2023-11-14 22:13:20 UTC
  const std::string aside = domainFile() + ".corrupt-20231114T221320Z";
  const PlistDictionary unit{{"IndexOfTemperatureUnit", PlistValue::integer(1)}};
  const std::pair<std::string, std::string> damaged[] = {
      {"\x01\x02 not a plist", ""},
      {"", "-1"},
      {"<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>", "-2"},
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
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains(aside + suffix));
    EXPECT_EQ(fileContents(), PlistValue(unit));
  }
  std::filesystem::remove(domainFile());
  ASSERT_EQ(mkdir(domainFile().c_str(), 0755), 0);
  ScopedLogCapture log;
  UserDefaults defaults;
  defaults.setPersistentDomain({{"k", "v"}}, kDomain);
  EXPECT_FALSE(defaults.synchronize());
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(defaults.persistentDomainForName(kDomain), (PlistDictionary{{"k", "v"}}));
  ASSERT_EQ(rmdir(domainFile().c_str()), 0);
  EXPECT_TRUE(defaults.synchronize()) << "the change stayed pending";
  EXPECT_EQ(fileContents(), PlistValue(PlistDictionary{{"k", "v"}}));
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
      {std::nullopt, "", "/home/u/.config/zorsensors"},
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
  const std::pair<std::string, PlistValue> values[] = {
      {"42", PlistValue::integer(42)},
      {"3.5", PlistValue::real(3.5)},
      {"99999999999999999999", PlistValue::real(1e20)},
      {"YES", PlistValue::boolean(true)},
      {"NO", PlistValue::boolean(false)},
      {"12abc", PlistValue("12abc")},
      {"nan", PlistValue("nan")},
      {"", PlistValue("")}};
  for (const auto& [text, expected] : values) {
    EXPECT_EQ(UserDefaults::parseArgumentValue(text), expected) << text;
  }
  UserDefaults defaults;
  defaults.registerStandardDomain({{"DebugSMARTAccess", PlistValue::boolean(false)},
                                   {"TraceSMARTTemperatures", PlistValue::integer(1)}});
  const char* argv[] = {
      "zor-widget-host", "--stdio",   "-DebugSMARTAccess", "YES", "--port", "8080",
      "-Name",           "two words", "-Dangling"};
  defaults.setArgumentDomain(9, argv);
  EXPECT_EQ(*defaults.objectForKey("DebugSMARTAccess"), PlistValue::boolean(true));
  EXPECT_EQ(*defaults.objectForKey("TraceSMARTTemperatures"), PlistValue::integer(1));
  EXPECT_EQ(*defaults.objectForKey("Name"), PlistValue("two words"));
  for (const char* key : {"Dangling", "-stdio", "-port", "8080", "EnableCoreTempReadingsForXeon"}) {
    EXPECT_FALSE(defaults.hasKey(key)) << key;
  }
  // Registering again replaces the standard domain; arguments still win.
  defaults.registerStandardDomain({{"DebugSMARTAccess", PlistValue::boolean(false)}});
  EXPECT_FALSE(defaults.hasKey("TraceSMARTTemperatures"));
  EXPECT_EQ(*defaults.objectForKey("DebugSMARTAccess"), PlistValue::boolean(true));
}

}  // namespace
}  // namespace zor

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

using testing::ScopedEnvironment;
using testing::ScopedTempDirectory;

const std::string kDomain = "org.zorsensors.widget.sensors";

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    UserDefaults::setPreferencesDirectory(dir_.path());
  }
  void TearDown() override { UserDefaults::setPreferencesDirectory(""); }

  std::string domainFile() const { return dir_.file(kDomain + ".plist"); }
  std::optional<PlistDictionary> fileContents() const {
    auto value = readPropertyListFile(domainFile());
    if (!value || !value->isDictionary()) return std::nullopt;
    return *value->asDictionary();
  }

  ScopedTempDirectory dir_;
};

TEST_F(UserDefaultsTest, InvalidDomainNamesHaveNoDomainAndWriteNothing) {
  for (const std::string& name :
       {std::string(""), std::string("."), std::string(".."), std::string("../escape"),
        std::string("a/b"), std::string("a\0b", 3)}) {
    ScopedLogCapture log;
    UserDefaults defaults;
    defaults.setPersistentDomain({{"k", "v"}}, name);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.persistentDomainForName(name), std::nullopt);
    EXPECT_EQ(log.lines().size(), 1u) << name;
  }
  std::error_code ignored;
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path(), ignored));
}

TEST_F(UserDefaultsTest, WritersMergeTheirOwnKeysIntoTheFile) {
  UserDefaults seed;
  seed.setPersistentDomain({{"Shared", "old"}, {"Dropped", "x"}}, kDomain);
  ASSERT_TRUE(seed.synchronize());

  // Two writers that both read the domain before either wrote.
  UserDefaults first;
  UserDefaults second;
  PlistDictionary firstView = *first.persistentDomainForName(kDomain);
  PlistDictionary secondView = *second.persistentDomainForName(kDomain);

  firstView["First"] = "1";
  firstView["Shared"] = "from first";
  first.setPersistentDomain(firstView, kDomain);
  ASSERT_TRUE(first.synchronize());

  secondView["Second"] = "2";
  secondView.erase("Dropped");
  second.setPersistentDomain(secondView, kDomain);
  ASSERT_TRUE(second.synchronize());

  // The second writer did not touch "Shared", so the first writer's value stands.
  EXPECT_EQ(fileContents(),
            (PlistDictionary{{"First", "1"}, {"Second", "2"}, {"Shared", "from first"}}));
  // After synchronising, the writer sees what the other wrote.
  EXPECT_EQ(second.persistentDomainForName(kDomain), fileContents());
}

TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceKeepEveryKey) {
  constexpr int kRounds = 40;
  auto writeRounds = [](const std::string& prefix) {
    UserDefaults defaults;
    for (int i = 0; i < kRounds; ++i) {
      PlistDictionary domain =
          defaults.persistentDomainForName(kDomain).value_or(PlistDictionary{});
      domain[prefix + std::to_string(i)] = PlistValue::integer(i);
      defaults.setPersistentDomain(domain, kDomain);
      if (!defaults.synchronize()) return false;
    }
    return true;
  };
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    char go = 0;
    (void)write(ready[1], &go, 1);
    _exit(writeRounds("child") ? 0 : 1);
  }
  close(ready[1]);
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  close(ready[0]);
  EXPECT_TRUE(writeRounds("parent"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  auto contents = fileContents();
  ASSERT_TRUE(contents.has_value());
  EXPECT_EQ(contents->size(), 2u * kRounds);
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_EQ((*contents)["parent" + std::to_string(i)], PlistValue::integer(i));
    EXPECT_EQ((*contents)["child" + std::to_string(i)], PlistValue::integer(i));
  }
}

// Each damaged file is moved aside once, under the time of the write; a
// second one in the same second gets its own name.
TEST_F(UserDefaultsTest, DamagedFileIsReadAsAbsentAndMovedAsideBeforeReplacing) {
  const std::string damaged[] = {
      "\x01\x02 not a plist", "", "<?xml version=\"1.0\"?><plist><dict><key>a",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"};
  ScopedManualClock clock(1700000000.0);  // 2023-11-14 22:13:20 UTC
  const std::string aside = domainFile() + ".corrupt-20231114T221320Z";
  for (std::size_t i = 0; i < std::size(damaged); ++i) {
    const std::string& bytes = damaged[i];
    const std::string suffix = i == 0 ? "" : "-" + std::to_string(i);
    SCOPED_TRACE(bytes);
    std::ofstream(domainFile(), std::ios::binary) << bytes;
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(kDomain), std::nullopt);
    EXPECT_TRUE(log.lines().empty());  // reading alone moves nothing
    defaults.setPersistentDomain({{"IndexOfTemperatureUnit", PlistValue::integer(1)}}, kDomain);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(readWholeFile(aside + suffix), std::optional<std::string>(bytes));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(aside + suffix), std::string::npos);
    EXPECT_EQ(fileContents(),
              (PlistDictionary{{"IndexOfTemperatureUnit", PlistValue::integer(1)}}));
  }
}

TEST_F(UserDefaultsTest, UnreadableFileFailsAndKeepsChangesPending) {
  // A folder in the file's place cannot be read, and must not be clobbered.
  ASSERT_EQ(mkdir(domainFile().c_str(), 0755), 0);
  ScopedLogCapture log;
  UserDefaults defaults;
  defaults.setPersistentDomain({{"k", "v"}}, kDomain);
  EXPECT_FALSE(defaults.synchronize());
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(defaults.persistentDomainForName(kDomain), (PlistDictionary{{"k", "v"}}));

  ASSERT_EQ(rmdir(domainFile().c_str()), 0);
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_EQ(fileContents(), (PlistDictionary{{"k", "v"}}));
}

// A store kept in memory neither reads what is on disk nor writes to it, yet
// answers with what this process set.
TEST_F(UserDefaultsTest, KeptInMemoryNeitherReadsNorWritesTheFolder) {
  PlistDictionary onDisk{{"IndexOfTemperatureUnit", PlistValue::integer(1)}};
  {
    UserDefaults writer;
    writer.setPersistentDomain(onDisk, kDomain);
    ASSERT_TRUE(writer.synchronize());
  }
  UserDefaults::setKeptInMemory(true);
  UserDefaults store;
  EXPECT_EQ(store.persistentDomainForName(kDomain), std::nullopt);
  PlistDictionary set{{"IndexOfTemperatureUnit", PlistValue::integer(2)}};
  store.setPersistentDomain(set, kDomain);
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(store.persistentDomainForName(kDomain), set);
  UserDefaults::setKeptInMemory(false);
  EXPECT_EQ(fileContents(), onDisk);
}

TEST(UserDefaultsFolderTest, DefaultFollowsEnvironment) {
  const std::tuple<std::optional<std::string>, const char*> cases[] = {
      {"/cfg", "/cfg/zorsensors"},
      {"cfg", "/home/u/.config/zorsensors"},  // a relative folder is ignored
      {std::nullopt, "/home/u/.config/zorsensors"},
  };
  for (const auto& [xdg, expected] : cases) {
    ScopedEnvironment env({{"XDG_CONFIG_HOME", xdg}, {"HOME", "/home/u"}});
    UserDefaults::setPreferencesDirectory("");
    EXPECT_EQ(UserDefaults::preferencesDirectory(), expected);
  }
  UserDefaults::setPreferencesDirectory("/srv/prefs/");
  EXPECT_EQ(UserDefaults::preferencesDirectory(), "/srv/prefs");
  UserDefaults::setPreferencesDirectory("");
}

TEST(UserDefaultsArgumentTest, ValuesAreParsedAsScalars) {
  const std::pair<std::string, PlistValue> cases[] = {
      {"42", PlistValue::integer(42)},
      {"3.5", PlistValue::real(3.5)},
      {"99999999999999999999", PlistValue::real(1e20)},
      {"YES", PlistValue::boolean(true)},
      {"NO", PlistValue::boolean(false)},
      {"12abc", PlistValue("12abc")},
      {"nan", PlistValue("nan")},
      {"inf", PlistValue("inf")},
      {"", PlistValue("")},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(UserDefaults::parseArgumentValue(text), expected) << text;
  }
}

TEST(UserDefaultsStandardDomainTest, ArgumentsTakePrecedenceOverStandardDomain) {
  UserDefaults defaults;
  defaults.registerStandardDomain({{"DebugSMARTAccess", PlistValue::boolean(false)},
                                   {"TraceSMARTTemperatures", PlistValue::integer(1)}});
  EXPECT_TRUE(defaults.hasKey("DebugSMARTAccess"));
  EXPECT_FALSE(defaults.hasKey("EnableCoreTempReadingsForXeon10670"));

  const char* argv[] = {
      "zor-widget-host", "--stdio",   "-DebugSMARTAccess", "YES", "--port", "8080",
      "-Name",           "two words", "-Dangling"};
  defaults.setArgumentDomain(9, argv);
  ASSERT_NE(defaults.objectForKey("DebugSMARTAccess"), nullptr);
  EXPECT_EQ(*defaults.objectForKey("DebugSMARTAccess"), PlistValue::boolean(true));
  EXPECT_EQ(*defaults.objectForKey("TraceSMARTTemperatures"), PlistValue::integer(1));
  EXPECT_EQ(*defaults.objectForKey("Name"), PlistValue("two words"));
  EXPECT_FALSE(defaults.hasKey("Dangling"));
  EXPECT_FALSE(defaults.hasKey("-stdio"));
  EXPECT_FALSE(defaults.hasKey("-port"));
  EXPECT_FALSE(defaults.hasKey("8080"));

  // Registering again replaces the standard domain; arguments still win.
  defaults.registerStandardDomain({{"EnableCoreTempReadingsForXeon10670", "1"}});
  EXPECT_FALSE(defaults.hasKey("TraceSMARTTemperatures"));
  EXPECT_TRUE(defaults.hasKey("EnableCoreTempReadingsForXeon10670"));
  EXPECT_TRUE(defaults.hasKey("DebugSMARTAccess"));

  defaults.setObject(PlistValue::integer(3), "Extra");
  EXPECT_TRUE(defaults.hasKey("Extra"));
  defaults.removeObjectForKey("Extra");
  EXPECT_FALSE(defaults.hasKey("Extra"));
}

}  // namespace
}  // namespace zor

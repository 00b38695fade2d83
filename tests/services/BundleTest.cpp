// Bundles: the language chosen from the environment, the shipped string
// tables, lookups with their fallbacks, and files that stay inside the folder.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "platform/Bundle.h"
#include "platform/CurrentLocale.h"
#include "platform/EmbeddedFiles.h"
#include "platform/ResourceBundle.h"
#include "platform/StringsTable.h"
#include "platform/SystemLog.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::localeVariables;
using testing::ScopedEnvironment;
using testing::ScopedTempDirectory;
using Opt = std::optional<std::string>;

TEST(CurrentLocaleTest, LanguageIsTheFirstAvailableInVariableOrder) {
  struct Case {
    Opt language, lcAll, lcMessages, lang;
    const char* expected;
    const char* separator;  // of the locale named first, where one is
  };
  const Case cases[] = {
      {{}, {}, {}, {}, "en", "."},
      {{}, {}, {}, "POSIX.UTF-8", "en", nullptr},
      {{}, {}, {}, "de_DE.UTF-8", "de", ","},
      {"", "", "", "de_CH.UTF-8", "de", "."},  // empty variables are skipped
      {{}, "de_DE.UTF-8", {}, "en_US.UTF-8", "de", ","},
      {{}, {}, "en_GB.UTF-8", "de_DE.UTF-8", "en", nullptr},
      {"fr:it:de:en", {}, {}, "en_US", "de", nullptr},
      {"fr", {}, {}, "ja_JP.UTF-8", "en", nullptr},
      {"pt_BR", {}, {}, {}, "pt_BR", nullptr},
      {"pt_PT", {}, {}, {}, "en", nullptr},  // a region without its folder
      {"../../etc", {}, {}, "de_DE", "de", nullptr},
  };
  for (const Case& c : cases) {
    ScopedEnvironment env(localeVariables(c.language, c.lcAll, c.lcMessages, c.lang));
    SCOPED_TRACE(c.language.value_or("-") + " " + c.lang.value_or("-"));
    EXPECT_EQ(preferredLocalization({"de", "en", "pt_BR"}), c.expected);
    if (c.separator) {
      EXPECT_EQ(localeDecimalSeparator(), c.separator);
    }
  }
}

TEST(ShippedResourcesTest, EveryStringTableParsesCleanlyAndGermanHasEveryKey) {
  auto keys = [](const std::string& path) {
    ScopedLogCapture log;
    std::vector<std::string> list;
    const StringsTable table = StringsTable::parse(*embedded::find(path), path);
    for (const auto& [key, value] : table.entries()) {
      list.push_back(key);
    }
    EXPECT_TRUE(log.lines().empty()) << path << ": " << log.lines().front();
    return list;
  };
  for (const char* table : {"Localizable", "SensorLocations"}) {
    EXPECT_EQ(keys(std::string("resources/en.lproj/") + table + ".strings"),
              keys(std::string("resources/de.lproj/") + table + ".strings"))
        << table;
  }
  auto bundle = ResourceBundle::forEmbeddedResources();
  EXPECT_EQ(bundle->bundleIdentifier(), Opt("org.zorsensors.widget.sensors"));
  EXPECT_EQ(bundle->localizations(), (std::vector<std::string>{"de", "en"}));
  const std::tuple<const char*, const char*, const char*> lookups[] = {
      {"C", "ELLIPSIS", "\xE2\x80\xA6"},
      {"de_DE.UTF-8", "No accessible sensors found", "Keine lesbaren Sensoren gefunden"},
      {"de_DE.UTF-8", "F",
       "\xC2\xB0"
       "F"},
      {"C", "https://zorsensors.org/quorvane/", "https://zorsensors.org/quorvane/"},
      {"de_DE.UTF-8", "https://zorsensors.org/quorvane/", "https://zorsensors.org/quorvane/de/"},
  };
  for (const auto& [lang, key, expected] : lookups) {
    ScopedEnvironment env(localeVariables({}, {}, {}, lang));
    EXPECT_EQ(ResourceBundle::forEmbeddedResources()->localizedString(key, key), expected);
  }
}

// Strings: the current language, then the development language, then the
// fallback, then the key. Resources: the folder, then the language folders.
TEST(ResourceBundleTest, LooksUpInTheLanguageThenFallsBack) {
  ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
  auto bundle = ResourceBundle::forFiles({
      {"en.lproj/Localizable.strings", "\"a\" = \"English A\"; \"b\" = \"English B\";"},
      {"de.lproj/Localizable.strings", "\"a\" = \"Deutsch A\";"},
      {"hddtemp.db", "top"},
      {"de.lproj/Only.txt", "german"},
      {"en.lproj/Only.txt", "english"},
      {"en.lproj/Dev.txt", "development"},
  });
  EXPECT_EQ(bundle->localizedString("a", ""), "Deutsch A");
  EXPECT_EQ(bundle->localizedString("b", ""), "English B");
  EXPECT_EQ(bundle->localizedString("missing", "fallback"), "fallback");
  EXPECT_EQ(bundle->localizedString("missing", ""), "missing");
  EXPECT_EQ(bundle->localizedString("a", "", "NoSuchTable"), "a");
  EXPECT_EQ(bundle->resourceContents("hddtemp", "db"), Opt("top"));
  EXPECT_EQ(bundle->resourceContents("Only", "txt"), Opt("german"));
  EXPECT_EQ(bundle->resourceContents("Dev", "txt"), Opt("development"));
  for (const char* name : {"missing", "../hddtemp", "de.lproj/Only"}) {
    EXPECT_EQ(bundle->resourceContents(name, "db"), std::nullopt) << name;
  }
}

TEST(ResourceBundleTest, RefusesPathsLeavingTheFolder) {
  ScopedTempDirectory outer;
  ASSERT_EQ(mkdir(outer.file("res").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(outer.file("res/Images").c_str(), 0755), 0);
  std::ofstream(outer.file("secret")) << "secret";
  std::ofstream(outer.file("res/Images/secret")) << "inside";
  ASSERT_EQ(symlink(outer.file("secret").c_str(), outer.file("res/link").c_str()), 0);
  const std::shared_ptr<const Bundle> bundles[] = {
      ResourceBundle::forDirectory(outer.file("res")),
      ResourceBundle::forFiles({{"Images/secret", "inside"}}),
      std::shared_ptr<const Bundle>(&Bundle::pluginBundle(), [](const Bundle*) {})};
  for (const auto& bundle : bundles) {
    for (const std::string& path :
         {std::string("../secret"), std::string("Images/../../secret"), std::string("/etc/passwd"),
          std::string(""), std::string(".."), std::string("Images/secret\0x", 16)}) {
      EXPECT_EQ(bundle->fileContents(path), std::nullopt) << path;
    }
  }
  EXPECT_EQ(bundles[0]->fileContents("Images/secret"), Opt("inside"));
  EXPECT_EQ(bundles[0]->fileContents("link"), std::nullopt) << "a link out of the folder";
}

}  // namespace
}  // namespace zor

#include <gtest/gtest.h>

#include <unistd.h>
#include <ostream>

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

struct LanguageCase {
  const char* name;
  Opt language, lcAll, lcMessages, lang;
  std::string expected;
};
class LanguageChoiceTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageChoiceTest, PicksFirstAvailableInVariableOrder) {
  const LanguageCase& c = GetParam();
  ScopedEnvironment env(localeVariables(c.language, c.lcAll, c.lcMessages, c.lang));
  EXPECT_EQ(preferredLocalization({"de", "en", "pt_BR"}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, LanguageChoiceTest,
    ::testing::Values(
        LanguageCase{"NothingSet", {}, {}, {}, {}, "en"},
        LanguageCase{"PosixWithCodeset", {}, {}, {}, "POSIX.UTF-8", "en"},
        LanguageCase{"LangWithCodeset", {}, {}, {}, "de_DE.UTF-8", "de"},
        LanguageCase{"EmptyVariablesSkipped", "", "", "", "de_CH.UTF-8", "de"},
        LanguageCase{"LcAllBeforeLang", {}, "de_DE.UTF-8", {}, "en_US.UTF-8", "de"},
        LanguageCase{"LcMessagesBeforeLang", {}, {}, "en_GB.UTF-8", "de_DE.UTF-8", "en"},
        LanguageCase{"LanguageListSkipsUnavailable", "fr:it:de:en", {}, {}, "en_US", "de"},
        LanguageCase{"NothingAvailable", "fr", {}, {}, "ja_JP.UTF-8", "en"},
        LanguageCase{"FullNameMatch", "pt_BR", {}, {}, {}, "pt_BR"},
        LanguageCase{"RegionWithoutFolder", "pt_PT", {}, {}, {}, "en"},
        LanguageCase{"NotALocale", "../../etc", {}, {}, "de_DE", "de"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CurrentLocaleTest, DecimalSeparatorFollowsLocale) {
  {
    ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
    EXPECT_EQ(localeDecimalSeparator(), ",");
  }
  {
    ScopedEnvironment env(localeVariables({}, {}, {}, "C"));
    EXPECT_EQ(localeDecimalSeparator(), ".");
  }
}

TEST(ShippedResourcesTest, EveryStringTableParsesCleanly) {
  size_t tables = 0;
  for (const std::string& path : embedded::pathsUnder("resources/")) {
    if (path.size() < 8 || path.substr(path.size() - 8) != ".strings") continue;
    ++tables;
    ScopedLogCapture log;
    StringsTable::parse(*embedded::find(path), path);
    EXPECT_TRUE(log.lines().empty()) << path << ": " << log.lines().front();
  }
  EXPECT_GE(tables, 4u);
}

TEST(ShippedResourcesTest, EnglishAndGermanHaveTheSameKeys) {
  auto keys = [](const char* path) {
    std::vector<std::string> list;
    const StringsTable table = StringsTable::parse(*embedded::find(path), path);
    for (const auto& [key, value] : table.entries()) {
      list.push_back(key);
    }
    return list;
  };
  for (const char* table : {"Localizable", "SensorLocations"}) {
    EXPECT_EQ(keys((std::string("resources/en.lproj/") + table + ".strings").c_str()),
              keys((std::string("resources/de.lproj/") + table + ".strings").c_str()))
        << table;
  }
}

struct LookupCase {
  const char* lang;
  const char* key;
  const char* expected;
};
class PluginStringsTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(PluginStringsTest, LooksUpInTheCurrentLanguage) {
  ScopedEnvironment env(localeVariables({}, {}, {}, GetParam().lang));
  auto bundle = ResourceBundle::forEmbeddedResources();
  EXPECT_EQ(bundle->localizedString(GetParam().key, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, PluginStringsTest,
                         ::testing::Values(LookupCase{"C", "ELLIPSIS", "\xE2\x80\xA6"},
                                           LookupCase{"de_DE.UTF-8", "No accessible sensors found",
                                                      "Keine lesbaren Sensoren gefunden"},
                                           LookupCase{"de_DE.UTF-8", "Version: %@", "Version: %@"},
                                           LookupCase{"C", "C",
                                                      "\xC2\xB0"
                                                      "C"},
                                           LookupCase{"de_DE.UTF-8", "F",
                                                      "\xC2\xB0"
                                                      "F"},
                                           LookupCase{"C", "https://zorsensors.org/quorvane/",
                                                      "https://zorsensors.org/quorvane/"},
                                           LookupCase{"de_DE.UTF-8",
                                                      "https://zorsensors.org/quorvane/",
                                                      "https://zorsensors.org/quorvane/de/"},
                                           LookupCase{"de_DE.UTF-8", "no such key", "no such key"}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(ResourceBundleTest, PluginBundleInformation) {
  auto bundle = ResourceBundle::forEmbeddedResources();
  EXPECT_EQ(bundle->bundleIdentifier(),
            std::optional<std::string>("org.zorsensors.widget.sensors"));
  EXPECT_EQ(bundle->localizations(), (std::vector<std::string>{"de", "en"}));
  EXPECT_NE(bundle->fileContents("Info.plist"), std::nullopt);
}

TEST(ResourceBundleTest, FallbackThenKeyWhenNothingMatches) {
  auto bundle = ResourceBundle::forFiles({{"en.lproj/Localizable.strings", "\"a\" = \"A\";"}});
  EXPECT_EQ(bundle->localizedString("missing", "fallback"), "fallback");
  EXPECT_EQ(bundle->localizedString("missing", ""), "missing");
  EXPECT_EQ(bundle->localizedString("a", "", "NoSuchTable"), "a");
  EXPECT_EQ(bundle->localizedString("a", "", "Localizable"), "A");
}

TEST(ResourceBundleTest, MissingTranslationFallsBackToDevelopmentLanguage) {
  ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
  auto bundle = ResourceBundle::forFiles({
      {"en.lproj/Localizable.strings", "\"a\" = \"English A\"; \"b\" = \"English B\";"},
      {"de.lproj/Localizable.strings", "\"a\" = \"Deutsch A\";"},
  });
  EXPECT_EQ(bundle->localizedString("a", ""), "Deutsch A");
  EXPECT_EQ(bundle->localizedString("b", ""), "English B");
}

TEST(ResourceBundleTest, ResourcesFromTheFolderThenTheLanguageFolders) {
  ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
  auto bundle = ResourceBundle::forFiles({
      {"hddtemp.db", "top"},
      {"de.lproj/Only.txt", "german"},
      {"en.lproj/Only.txt", "english"},
      {"en.lproj/Dev.txt", "development"},
  });
  EXPECT_EQ(bundle->resourceContents("hddtemp", "db"), std::optional<std::string>("top"));
  EXPECT_EQ(bundle->resourceContents("Only", "txt"), std::optional<std::string>("german"));
  EXPECT_EQ(bundle->resourceContents("Dev", "txt"), std::optional<std::string>("development"));
  EXPECT_EQ(bundle->resourceContents("missing", "db"), std::nullopt);
  EXPECT_EQ(bundle->resourceContents("../hddtemp", "db"), std::nullopt);
  EXPECT_EQ(bundle->resourceContents("de.lproj/Only", "txt"), std::nullopt);
}

class PathRefusalTest : public ::testing::TestWithParam<std::string> {};

TEST_P(PathRefusalTest, RefusesPathsLeavingTheFolder) {
  ScopedTempDirectory outer;
  ASSERT_EQ(mkdir(outer.file("res").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(outer.file("res/Images").c_str(), 0755), 0);
  std::ofstream(outer.file("secret")) << "secret";
  std::ofstream(outer.file("res/Images/secret")) << "inside";
  auto onDisk = ResourceBundle::forDirectory(outer.file("res"));
  auto inMemory = ResourceBundle::forFiles({{"Images/secret", "inside"}});
  EXPECT_EQ(onDisk->fileContents(GetParam()), std::nullopt);
  EXPECT_EQ(inMemory->fileContents(GetParam()), std::nullopt);
  EXPECT_EQ(Bundle::pluginBundle().fileContents(GetParam()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathRefusalTest,
                         ::testing::Values("../secret", "Images/../../secret", "/etc/passwd", "",
                                           "..", std::string("Images/secret\0x", 16)));

TEST(ResourceBundleTest, SymbolicLinkOutOfTheFolderIsRefused) {
  ScopedTempDirectory outer;
  ASSERT_EQ(mkdir(outer.file("res").c_str(), 0755), 0);
  std::ofstream(outer.file("secret")) << "secret";
  std::ofstream(outer.file("res/plain")) << "plain";
  ASSERT_EQ(symlink(outer.file("secret").c_str(), outer.file("res/link").c_str()), 0);
  auto bundle = ResourceBundle::forDirectory(outer.file("res"));
  EXPECT_EQ(bundle->fileContents("plain"), std::optional<std::string>("plain"));
  EXPECT_EQ(bundle->fileContents("link"), std::nullopt);
}

}  // namespace
}  // namespace zor

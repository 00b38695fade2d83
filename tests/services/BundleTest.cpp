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

using testing::ScopedEnvironment;
using Opt = std::optional<std::string>;

// LANGUAGE, LC_ALL, LC_MESSAGES and LANG; the language picked from "de", "en"
// and "pt_BR"; the decimal separator of the locale named first, where one is.
TEST(CurrentLocaleTest, LanguageIsTheFirstAvailableInVariableOrder) {
  const std::tuple<Opt, Opt, Opt, Opt, const char*, const char*> cases[] = {
      {{}, {}, {}, {}, "en", "."},
      {{}, {}, {}, "de_DE.UTF-8", "de", ","},
      {"", "", "", "de_CH.UTF-8", "de", "."},  // empty variables are skipped
      {{}, "de_DE.UTF-8", {}, "en_US.UTF-8", "de", ","},
      {"fr:it:de:en", {}, {}, "en_US", "de", nullptr},
      {"pt_BR", {}, {}, {}, "pt_BR", nullptr},
      {"pt_PT", {}, {}, {}, "en", nullptr},  // a region without its folder
      {"../../etc", {}, {}, "de_DE", "de", nullptr},
  };
  for (const auto& [language, lcAll, lcMessages, lang, expected, separator] : cases) {
    ScopedEnvironment env(
        {{"LANGUAGE", language}, {"LC_ALL", lcAll}, {"LC_MESSAGES", lcMessages}, {"LANG", lang}});
    SCOPED_TRACE(language.value_or("-") + " " + lang.value_or("-"));
    EXPECT_EQ(preferredLocalization({"de", "en", "pt_BR"}), expected);
    if (separator) {
      EXPECT_EQ(localeDecimalSeparator(), separator);
    }
  }
}

TEST(ShippedResourcesTest, EveryStringTableParsesCleanlyAndGermanHasEveryKey) {
  ScopedLogCapture log;
  for (const std::string table : {"Localizable", "SensorLocations"}) {
    std::vector<std::string> keys[2];
    for (const std::string language : {"en", "de"}) {
      const std::string path = "resources/" + language + ".lproj/" + table + ".strings";
      const StringsTable parsed = StringsTable::parse(*embedded::find(path), path);
      for (const auto& entry : parsed.entries()) keys[language == "de"].push_back(entry.first);
    }
    EXPECT_EQ(keys[0], keys[1]) << table;
  }
  EXPECT_EQ(log.lines(), std::vector<std::string>());
  // The preferences domain is named after it.
  EXPECT_EQ(ResourceBundle::forEmbeddedResources()->bundleIdentifier(),
            Opt("org.zorsensors.widget.sensors"));
}

// Strings: the current language, then the development language, then the
// fallback, then the key. Resources: the folder, then the language folders.
TEST(ResourceBundleTest, LooksUpInTheLanguageThenFallsBack) {
  ScopedEnvironment env({{"LANGUAGE", {}}, {"LC_ALL", {}}, {"LC_MESSAGES", {}}, {"LANG", "de_DE"}});
  auto bundle = ResourceBundle::forFiles({
      {"en.lproj/Localizable.strings", "\"a\" = \"English A\"; \"b\" = \"English B\";"},
      {"de.lproj/Localizable.strings", "\"a\" = \"Deutsch A\";"},
      {"hddtemp.db", "top"},
      {"de.lproj/Only.txt", "german"},
      {"en.lproj/Only.txt", "english"},
      {"en.lproj/Dev.txt", "development"},
  });
  EXPECT_EQ(std::vector({bundle->localizedString("a", ""), bundle->localizedString("b", ""),
                         bundle->localizedString("missing", "fallback"),
                         bundle->localizedString("missing", ""),
                         bundle->localizedString("a", "", "NoSuchTable")}),
            std::vector<std::string>({"Deutsch A", "English B", "fallback", "missing", "a"}));
  auto file = [&](const char* name, const char* type) {
    return bundle->resourceContents(name, type);
  };
  EXPECT_EQ(
      std::vector({file("hddtemp", "db"), file("Only", "txt"), file("Dev", "txt"),
                   file("missing", "db"), file("../hddtemp", "db"), file("de.lproj/Only", "txt")}),
      std::vector<Opt>({"top", "german", "development", {}, {}, {}}));
}

TEST(ResourceBundleTest, RefusesPathsLeavingTheFolder) {
  testing::ScopedTempDirectory outer;
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
         std::vector<std::string>{"../secret", "Images/../../secret", "/etc/passwd", "", "..",
                                  "link", std::string("Images/secret\0x", 16)}) {
      EXPECT_EQ(bundle->fileContents(path), std::nullopt) << path;
    }
  }
  EXPECT_EQ(bundles[0]->fileContents("Images/secret"), Opt("inside"));
}

}  // namespace
}  // namespace zor

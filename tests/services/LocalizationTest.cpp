// What follows the user's locale: the language chosen from the environment,
// the shipped string tables, bundle lookups with their fallbacks (and files
// that stay inside the folder), calendar weeks and date texts.

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>
#include <fstream>
#include <tuple>

#include "platform/Bundle.h"
#include "platform/CurrentLocale.h"
#include "platform/DateFormatter.h"
#include "platform/EmbeddedFiles.h"
#include "platform/GregorianCalendar.h"
#include "platform/ResourceBundle.h"
#include "platform/StringsTable.h"
#include "platform/SystemLog.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::ScopedEnvironment;
using Opt = std::optional<std::string>;

// LANGUAGE, LC_ALL and LANG, empty ones skipped; the language picked from
// "de", "en" and "pt_BR" (a region without its folder is none); the decimal
// separator of the locale named first, where one is.
TEST(CurrentLocaleTest, LanguageIsTheFirstAvailableInVariableOrder) {
  const std::tuple<Opt, Opt, Opt, const char*, const char*> cases[] = {
      {{}, {}, "de_DE.UTF-8", "de", ","},
      {"", "", "de_CH.UTF-8", "de", "."},
      {{}, "de_DE.UTF-8", "en_US.UTF-8", "de", ","},
      {"fr:it:de:en", {}, "en_US", "de", nullptr},
      {"pt_BR", {}, {}, "pt_BR", nullptr},
      {"pt_PT", {}, {}, "en", nullptr},
      {"../../etc", {}, "de_DE", "de", nullptr}};
  for (const auto& [language, lcAll, lang, expected, separator] : cases) {
    ScopedEnvironment env(
        {{"LANGUAGE", language}, {"LC_ALL", lcAll}, {"LC_MESSAGES", {}}, {"LANG", lang}});
    SCOPED_TRACE(language.value_or("-") + " " + lang.value_or("-"));
    EXPECT_EQ(preferredLocalization({"de", "en", "pt_BR"}), expected);
    EXPECT_TRUE(!separator || localeDecimalSeparator() == separator) << localeDecimalSeparator();
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
  auto bundle = ResourceBundle::forFiles(
      {{"en.lproj/Localizable.strings", "\"a\" = \"English A\"; \"b\" = \"English B\";"},
       {"de.lproj/Localizable.strings", "\"a\" = \"Deutsch A\";"},
       {"hddtemp.db", "top"},
       {"de.lproj/Only.txt", "german"},
       {"en.lproj/Only.txt", "english"},
       {"en.lproj/Dev.txt", "development"}});
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
  ASSERT_TRUE(std::filesystem::create_directories(outer.file("res/Images")));
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

// Seconds of a UTC calendar date, worked out without ICU.
double utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm parts{};
  std::tie(parts.tm_year, parts.tm_mon, parts.tm_mday) = std::tuple(year - 1900, month - 1, day);
  std::tie(parts.tm_hour, parts.tm_min, parts.tm_sec) = std::tuple(hour, minute, second);
  return static_cast<double>(timegm(&parts));
}

// The current locale and time zone for one scope.
ScopedEnvironment::Settings localeAndZone(const std::string& locale, const std::string& zone) {
  return {{"LANGUAGE", {}},
          {"LC_ALL", {}},
          {"LC_MESSAGES", {}},
          {"LANG", locale + ".UTF-8"},
          {"TZ", zone}};
}

// A machine's production date is a week of a year in the current locale.
// 2010 begins on a Friday, 2020 on a Wednesday. US weeks begin on Sunday and
// week 1 holds 1 January; German weeks begin on Monday and week 1 is the first
// with four days in the new year. Weeks are counted from the first day of
// week 1, also before it and past the last; the year is the current year's.
TEST(GregorianCalendarTest, DatesFromWeeksAndYearsFromDates) {
  const std::tuple<const char*, int, int, int, double> cases[] = {
      {"en_US", 2010, 10, 2, utc(2010, 3, 1)},  {"de_DE", 2010, 10, 2, utc(2010, 3, 8)},
      {"de_DE", 2010, 10, 1, utc(2010, 3, 14)}, {"de_DE", 2020, 1, 2, utc(2019, 12, 30)},
      {"de_DE", 2020, 0, 2, utc(2019, 12, 23)}, {"de_DE", 2020, 54, 2, utc(2021, 1, 4)}};
  for (const auto& [locale, year, week, weekday, expected] : cases) {
    ScopedEnvironment env(localeAndZone(locale, "UTC"));
    const GregorianCalendar calendar = GregorianCalendar::current();
    EXPECT_EQ(calendar.dateFromWeek(year, week, weekday), expected) << locale << week;
    auto parts = calendar.componentsOfDate(utc(2010, 1, 1, 12));
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(std::tuple(parts->year, parts->month, parts->day, parts->hour),
              std::tuple(2010, 1, 1, 12));
  }
  ScopedEnvironment mars(localeAndZone("en_US", "Mars/Olympus_Mons"));
  EXPECT_EQ(GregorianCalendar::current().dateFromWeek(2010, 10, 2), utc(2010, 3, 1)) << "US, UTC";
}

// Dates in the current locale and zone, as the widget's disk dates show them.
TEST(DateFormatterTest, FormatsInTheLocalesStyle) {
  using Style = DateFormatter::Style;
  const std::tuple<const char*, const char*, Style, Style, const char*> cases[] = {
      {"de_DE", "UTC", Style::Short, Style::Medium, "08.03.10, 03:05:09"},
      {"de_DE", "America/New_York", Style::Short, Style::None, "07.03.10"}};
  for (const auto& [locale, zone, date, time, expected] : cases) {
    ScopedEnvironment env(localeAndZone(locale, zone));
    EXPECT_EQ(DateFormatter::stringFromDate(utc(2010, 3, 8, 3, 5, 9), date, time), expected);
  }
}

}  // namespace
}  // namespace zor

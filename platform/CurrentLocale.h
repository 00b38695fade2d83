#pragma once
// The user's language and locale as the environment names them: LANGUAGE (a
// colon-separated list), then LC_ALL, LC_MESSAGES and LANG, in that order.
// "C" and "POSIX" name no language. The bundle picks its string tables from
// this list; the calendars, date formats and number symbols use the first
// entry. Read afresh on every call, so a changed environment takes effect at
// once.

#include <string>
#include <string_view>
#include <vector>

namespace zor {

class CurrentLocale {
 public:
  // Locale names from the environment in order of preference, reduced to
  // language and region ("de_DE.UTF-8@euro" -> "de_DE", "fr" -> "fr").
  static std::vector<std::string> candidates();

  // The locale for calendars and formats: the first candidate, "en_US" when
  // the environment names none.
  static std::string identifier();

  // The first candidate (full name first, then its language alone) that is one
  // of `available`; "en" when none is.
  static std::string preferredLocalization(const std::vector<std::string>& available);

  // "de_DE.UTF-8" -> "de_DE"; "" for "C", "POSIX" and names that are not a locale.
  static std::string normalize(std::string_view name);
  // "de_DE" -> "de".
  static std::string languageOf(std::string_view identifier);

  // The decimal separator of the current locale ("." in English, "," in German).
  static std::string decimalSeparator();
};

// The decimal separator of the current locale.
std::string localeDecimalSeparator();

}  // namespace zor

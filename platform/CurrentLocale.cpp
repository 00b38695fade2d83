#include "platform/CurrentLocale.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>

namespace zor {
namespace {

bool isAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void addCandidate(std::vector<std::string>& list, std::string_view raw) {
  std::string name = CurrentLocale::normalize(raw);
  if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end()) {
    list.push_back(std::move(name));
  }
}

}  // namespace

std::string CurrentLocale::normalize(std::string_view name) {
  // Codeset and modifier say nothing about the language.
  std::size_t end = name.find_first_of(".@");
  if (end != std::string_view::npos) name = name.substr(0, end);
  if (name == "C" || name == "POSIX") return {};
  std::size_t separator = name.find_first_of("_-");
  std::string_view language = name.substr(0, separator);
  if (language.size() < 2 || language.size() > 3 ||
      !std::all_of(language.begin(), language.end(), isAsciiAlpha)) {
    return {};
  }
  std::string out;
  for (char c : language)
    out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (separator != std::string_view::npos) {
    std::string_view region = name.substr(separator + 1);
    if (region.empty() || region.size() > 8 ||
        !std::all_of(region.begin(), region.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
      return out;
    }
    out.push_back('_');
    for (char c : region)
      out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

std::string CurrentLocale::languageOf(std::string_view identifier) {
  return std::string(identifier.substr(0, identifier.find('_')));
}

std::vector<std::string> CurrentLocale::candidates() {
  std::vector<std::string> list;
  if (const char* languages = std::getenv("LANGUAGE")) {
    std::string_view rest(languages);
    while (!rest.empty()) {
      std::size_t colon = rest.find(':');
      addCandidate(list, rest.substr(0, colon));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = std::getenv(variable)) addCandidate(list, value);
  }
  return list;
}

std::string CurrentLocale::identifier() {
  std::vector<std::string> list = candidates();
  return list.empty() ? std::string("en_US") : list.front();
}

std::string CurrentLocale::preferredLocalization(const std::vector<std::string>& available) {
  auto has = [&](const std::string& name) {
    return std::find(available.begin(), available.end(), name) != available.end();
  };
  for (const std::string& candidate : candidates()) {
    if (has(candidate)) return candidate;
    std::string language = languageOf(candidate);
    if (has(language)) return language;
  }
  return "en";
}

std::string CurrentLocale::decimalSeparator() {
  // Every reading with decimals asks; the locale's number symbols are loaded
  // once per locale named, not on every call.
  static std::mutex mutex;
  static std::map<std::string, std::string> separators;
  const std::string locale = identifier();
  std::lock_guard<std::mutex> lock(mutex);
  auto known = separators.find(locale);
  if (known != separators.end()) return known->second;
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(icu::Locale::createFromName(locale.c_str()), status);
  std::string separator;
  if (U_SUCCESS(status)) {
    symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol)
        .toUTF8String(separator);
  }
  return separators.emplace(locale, separator.empty() ? std::string(1, '.') : separator)
      .first->second;
}

std::string localeDecimalSeparator() {
  return CurrentLocale::decimalSeparator();
}

}  // namespace zor

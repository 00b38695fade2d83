#include "platform/DateFormatter.h"

#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cmath>
#include <memory>

#include "platform/CurrentLocale.h"
#include "platform/GregorianCalendar.h"

namespace zor {
namespace {

icu::DateFormat::EStyle icuStyle(DateFormatter::Style style) {
  switch (style) {
    case DateFormatter::Style::None:
      return icu::DateFormat::kNone;
    case DateFormatter::Style::Short:
      return icu::DateFormat::kShort;
    case DateFormatter::Style::Medium:
      return icu::DateFormat::kMedium;
    case DateFormatter::Style::Long:
      return icu::DateFormat::kLong;
    case DateFormatter::Style::Full:
      return icu::DateFormat::kFull;
  }
  return icu::DateFormat::kNone;
}

}  // namespace

std::string DateFormatter::stringFromDate(double seconds, Style dateStyle, Style timeStyle) {
  return stringFromDate(seconds, dateStyle, timeStyle, CurrentLocale::identifier(),
                        GregorianCalendar::currentTimeZoneIdentifier());
}

std::string DateFormatter::stringFromDate(double seconds, Style dateStyle, Style timeStyle,
                                          const std::string& localeIdentifier,
                                          const std::string& timeZoneIdentifier) {
  if ((dateStyle == Style::None && timeStyle == Style::None) || !std::isfinite(seconds)) return {};
  const icu::Locale locale = icu::Locale::createFromName(localeIdentifier.c_str());
  std::unique_ptr<icu::DateFormat> format(
      icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), locale));
  if (!format) return {};
  // Always the Gregorian calendar, as the rest of the system counts years.
  UErrorCode status = U_ZERO_ERROR;
  auto calendar = std::make_unique<icu::GregorianCalendar>(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZoneIdentifier)), locale,
      status);
  if (U_FAILURE(status)) return {};
  format->adoptCalendar(calendar.release());
  icu::UnicodeString text;
  format->format(std::floor(seconds) * 1000.0, text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace zor

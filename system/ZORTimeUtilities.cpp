#include "system/ZORTimeUtilities.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/DateFormatter.h"
#include "platform/GregorianCalendar.h"
#include "platform/StringFormat.h"

namespace zor {
namespace {

constexpr double kSecondsPerDay = 86400.0;

struct Parts {
  bool negative = false;
  std::int32_t days = 0;
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  std::int32_t seconds = 0;
};

// Truncates toward zero into 32 bits; magnitudes beyond the range are cut
// to it (a not-a-number interval counts as zero).
Parts split(double interval) {
  Parts parts;
  parts.negative = interval < 0.0;
  const double magnitude = std::fabs(interval);
  std::int32_t n = 0;
  if (magnitude >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    n = std::numeric_limits<std::int32_t>::max();
  } else if (magnitude == magnitude) {
    n = static_cast<std::int32_t>(magnitude);
  }
  parts.days = n / 86400;
  std::int32_t rest = n - parts.days * 86400;
  parts.hours = rest / 3600;
  rest -= parts.hours * 3600;
  parts.minutes = rest / 60;
  parts.seconds = rest - parts.minutes * 60;
  return parts;
}

// Fills a format that may only hold integer conversions ("%d", "%02d") and
// "%%". A translated text with any other conversion, or with more
// conversions than values, is not passed to printf: nothing is returned.
std::optional<std::string> fillIntegers(const std::string& format,
                                        std::initializer_list<std::int32_t> values) {
  std::string out;
  auto next = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out.push_back(format[i]);
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      out.push_back('%');
      i = j;
      continue;
    }
    const bool zeroPad = j < format.size() && format[j] == '0';
    if (zeroPad) ++j;
    int width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9' && width < 100) {
      width = width * 10 + (format[j] - '0');
      ++j;
    }
    if (j >= format.size() || (format[j] != 'd' && format[j] != 'i') || next == values.end()) {
      return std::nullopt;
    }
    out += formatString(zeroPad ? "%0*d" : "%*d", width, *next++);
    i = j;
  }
  return out;
}

std::string localized(const char* key) {
  return Bundle::mainBundle().localizedString(key, "");
}

// The translation of `key` filled with `values`; the key itself when the
// translation cannot be trusted as a format.
std::string localizedFormat(const char* key, std::initializer_list<std::int32_t> values) {
  if (auto filled = fillIntegers(localized(key), values)) return *filled;
  return fillIntegers(key, values).value_or(key);
}

std::string countText(std::int32_t count, const char* one, const char* many) {
  return count == 1 ? localized(one) : localizedFormat(many, {count});
}

}  // namespace

std::string ZORTimeUtilities::localizedTextRepresentationForTimeInterval(double interval) {
  const Parts parts = split(interval);
  std::string text = parts.negative ? "-" : "";
  if (parts.days > 0) text += countText(parts.days, "1 day ", "%d days ");
  if (parts.hours > 0) text += countText(parts.hours, "1 hour ", "%d hours ");
  if (parts.minutes > 0) text += countText(parts.minutes, "1 minute ", "%d minutes ");
  if ((parts.seconds > 0 && parts.hours == 0) || text.empty()) {
    text += countText(parts.seconds, "1 second ", "%d seconds");
  }
  return text;
}

std::string ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(double interval) {
  const Parts parts = split(interval);
  std::string text = parts.negative ? "-" : "";
  if (parts.days < 1) {
    text += localizedFormat("%02d:%02d:%02d", {parts.hours, parts.minutes, parts.seconds});
  } else {
    text += localizedFormat("%d d %02d:%02d", {parts.days, parts.hours, parts.minutes});
  }
  return text;
}

std::optional<std::string> ZORTimeUtilities::localizedTextRepresentationForDate(
    std::optional<double> date) {
  if (!date) return std::nullopt;
  const bool farFromNow = std::fabs(*date - Clock::current().now()) > kSecondsPerDay;
  return DateFormatter::stringFromDate(
      *date, farFromNow ? DateFormatter::Style::Short : DateFormatter::Style::None,
      DateFormatter::Style::Medium);
}

std::optional<std::string> ZORTimeUtilities::localizedDayRepresentationForDate(
    std::optional<double> date) {
  if (!date) return std::nullopt;
  return DateFormatter::stringFromDate(*date, DateFormatter::Style::Short,
                                       DateFormatter::Style::None);
}

std::optional<double> ZORTimeUtilities::dateForWeek(std::int16_t week, std::int16_t year,
                                                    std::int16_t day) {
  // The calendar counts weekdays from 1 = Sunday.
  return GregorianCalendar::current().dateFromWeek(year, week, static_cast<std::int32_t>(day) + 1);
}

}  // namespace zor

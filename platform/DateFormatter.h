#pragma once
// Dates as text in the locale's own short, medium, long or full styles, over
// ICU. Used by the time utilities ("time style medium, date style short").
// Dates are seconds since the Unix epoch.

#include <optional>
#include <string>

namespace zor {

class DateFormatter {
 public:
  enum class Style { None, Short, Medium, Long, Full };

  // In the current locale and time zone (see GregorianCalendar::current()).
  // "" when both styles are None or ICU cannot format.
  static std::string stringFromDate(double seconds, Style dateStyle, Style timeStyle);
  static std::string stringFromDate(double seconds, Style dateStyle, Style timeStyle,
                                    const std::string& localeIdentifier,
                                    const std::string& timeZoneIdentifier);
};

}  // namespace zor

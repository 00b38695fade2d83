#pragma once
// Short localized texts for time intervals and dates, and a calendar date
// made from a year, a week number and a weekday. The unit words come from the
// running program's default string table (the key stands for itself when
// there is no translation). Used by the production-date estimate of the
// machine description and offered to callers that show durations or moments.
// Dates are seconds since the Unix epoch, as zor::Clock gives them.

#include <cstdint>
#include <optional>
#include <string>

namespace zor {

class ZORTimeUtilities {
 public:
  ZORTimeUtilities() = delete;

  // "2 days 3 hours 5 minutes " and the like; "-" first for a negative interval.
  static std::string localizedTextRepresentationForTimeInterval(double interval);
  // "02:03:04" under one day, "2 d 03:05" from one day on; "-" first when negative.
  static std::string localizedNumericRepresentationForTimeInterval(double interval);
  // Medium time, with a short date when the date is more than a day from now.
  static std::optional<std::string> localizedTextRepresentationForDate(std::optional<double> date);
  // Short date, no time.
  static std::optional<std::string> localizedDayRepresentationForDate(std::optional<double> date);
  // Midnight of weekday `day` (0 Sunday, 1 Monday, ...) of week `week` of
  // `year`, by the current locale's Gregorian week rules; nothing when the
  // calendar cannot be made.
  static std::optional<double> dateForWeek(std::int16_t week, std::int16_t year, std::int16_t day);
};

}  // namespace zor

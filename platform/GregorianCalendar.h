#pragma once
// The Gregorian calendar with a locale's week rules (first weekday, minimal
// days in the first week) in a time zone, over ICU. Dates are seconds since
// the Unix epoch, as zor::Clock gives them. Used by the time utilities
// (a date from year, week and weekday) and the production-date estimate
// (the current year).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zor {

class GregorianCalendar {
 public:
  struct Components {
    std::int32_t year = 0;   // calendar year
    std::int32_t month = 0;  // 1 to 12
    std::int32_t day = 0;    // day of the month
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t weekday = 0;            // 1 = Sunday ... 7 = Saturday
    std::int32_t weekOfYear = 0;         // by the locale's week rules
    std::int32_t yearForWeekOfYear = 0;  // the year the week belongs to
  };

  // The current locale (CurrentLocale::identifier()) in the current time
  // zone (TZ, else the system's; UTC when neither is known).
  static GregorianCalendar current();
  // Nothing when ICU cannot make the calendar or does not know the zone.
  static std::optional<GregorianCalendar> create(const std::string& localeIdentifier,
                                                 const std::string& timeZoneIdentifier);
  // The zone named by TZ (a leading ':' is ignored), else the system's.
  static std::string currentTimeZoneIdentifier();

  const std::string& localeIdentifier() const { return locale_; }
  const std::string& timeZoneIdentifier() const { return timeZone_; }

  std::int32_t firstWeekday() const;  // 1 = Sunday, 2 = Monday
  std::int32_t minimumDaysInFirstWeek() const;

  std::optional<Components> componentsOfDate(double seconds) const;
  // Midnight at the start of `weekday` (1 = Sunday ... 7 = Saturday, any
  // other value counted on from there) of week `weekOfYear` of `year`, weeks
  // counted by the locale's rules. Week 0 is the week before week 1; weeks
  // beyond the year's last run on into the next year.
  std::optional<double> dateFromWeek(std::int32_t year, std::int32_t weekOfYear,
                                     std::int32_t weekday) const;
  // The moment of a calendar date and time of day; out-of-range parts roll over.
  std::optional<double> dateFromComponents(std::int32_t year, std::int32_t month, std::int32_t day,
                                           std::int32_t hour = 0, std::int32_t minute = 0,
                                           std::int32_t second = 0) const;

 private:
  struct Prototype;
  GregorianCalendar(std::string locale, std::string timeZone,
                    std::shared_ptr<const Prototype> prototype);
  std::string locale_;
  std::string timeZone_;
  std::shared_ptr<const Prototype> prototype_;  // cloned for every computation
};

}  // namespace zor

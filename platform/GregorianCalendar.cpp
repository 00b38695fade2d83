#include "platform/GregorianCalendar.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/CurrentLocale.h"

namespace zor {

struct GregorianCalendar::Prototype {
  std::unique_ptr<icu::Calendar> calendar;
};

namespace {

std::unique_ptr<icu::TimeZone> makeTimeZone(const std::string& identifier) {
  std::unique_ptr<icu::TimeZone> zone(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(identifier)));
  if (!zone) return nullptr;
  icu::UnicodeString id;
  zone->getID(id);
  // ICU answers an unknown name with the "Etc/Unknown" zone (GMT rules).
  if (id == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID, -1, US_INV)) return nullptr;
  return zone;
}

constexpr double kMillisecondsPerSecond = 1000.0;

}  // namespace

GregorianCalendar::GregorianCalendar(std::string locale, std::string timeZone,
                                     std::shared_ptr<const Prototype> prototype)
    : locale_(std::move(locale)),
      timeZone_(std::move(timeZone)),
      prototype_(std::move(prototype)) {}

std::string GregorianCalendar::currentTimeZoneIdentifier() {
  const char* tz = std::getenv("TZ");
  if (tz != nullptr && *tz == ':') ++tz;
  if (tz != nullptr && *tz != '\0' && makeTimeZone(tz)) return tz;
  std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
  std::string identifier;
  if (host) {
    icu::UnicodeString id;
    host->getID(id);
    id.toUTF8String(identifier);
  }
  if (identifier.empty() || !makeTimeZone(identifier)) return "UTC";
  return identifier;
}

std::optional<GregorianCalendar> GregorianCalendar::create(const std::string& localeIdentifier,
                                                           const std::string& timeZoneIdentifier) {
  std::unique_ptr<icu::TimeZone> zone = makeTimeZone(timeZoneIdentifier);
  if (!zone) return std::nullopt;
  icu::Locale locale = icu::Locale::createFromName(localeIdentifier.c_str());
  if (locale.isBogus()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  // The Gregorian calendar whatever calendar the locale prefers; the week
  // rules still come from the locale.
  auto calendar = std::make_unique<icu::GregorianCalendar>(zone.release(), locale, status);
  if (U_FAILURE(status)) return std::nullopt;
  auto prototype = std::make_shared<Prototype>();
  prototype->calendar = std::move(calendar);
  return GregorianCalendar(localeIdentifier, timeZoneIdentifier, std::move(prototype));
}

GregorianCalendar GregorianCalendar::current() {
  if (auto calendar = create(CurrentLocale::identifier(), currentTimeZoneIdentifier())) {
    return std::move(*calendar);
  }
  if (auto calendar = create("en_US", "UTC")) return std::move(*calendar);
  // ICU without data; a calendar that answers nothing.
  return GregorianCalendar("en_US", "UTC", nullptr);
}

std::int32_t GregorianCalendar::firstWeekday() const {
  if (!prototype_) return 1;
  return static_cast<std::int32_t>(prototype_->calendar->getFirstDayOfWeek());
}

std::int32_t GregorianCalendar::minimumDaysInFirstWeek() const {
  if (!prototype_) return 1;
  return prototype_->calendar->getMinimalDaysInFirstWeek();
}

std::optional<GregorianCalendar::Components> GregorianCalendar::componentsOfDate(
    double seconds) const {
  if (!prototype_ || !std::isfinite(seconds)) return std::nullopt;
  std::unique_ptr<icu::Calendar> calendar(prototype_->calendar->clone());
  UErrorCode status = U_ZERO_ERROR;
  calendar->setTime(std::floor(seconds) * kMillisecondsPerSecond, status);
  Components parts;
  auto field = [&](UCalendarDateFields which) { return calendar->get(which, status); };
  parts.year = field(UCAL_EXTENDED_YEAR);  // negative before year 1, not an era count
  parts.month = field(UCAL_MONTH) + 1;
  parts.day = field(UCAL_DATE);
  parts.hour = field(UCAL_HOUR_OF_DAY);
  parts.minute = field(UCAL_MINUTE);
  parts.second = field(UCAL_SECOND);
  parts.weekday = field(UCAL_DAY_OF_WEEK);
  parts.weekOfYear = field(UCAL_WEEK_OF_YEAR);
  parts.yearForWeekOfYear = field(UCAL_YEAR_WOY);
  if (U_FAILURE(status)) return std::nullopt;
  return parts;
}

std::optional<double> GregorianCalendar::dateFromWeek(std::int32_t year, std::int32_t weekOfYear,
                                                      std::int32_t weekday) const {
  if (!prototype_) return std::nullopt;
  std::unique_ptr<icu::Calendar> calendar(prototype_->calendar->clone());
  const std::int32_t firstDay = static_cast<std::int32_t>(calendar->getFirstDayOfWeek());
  // ICU's own resolution of a calendar year with a week number moves week 1
  // into the following December when its first days fall in the old year and
  // wraps week numbers past the year's last; so find the first day of week 1
  // of the week-numbering year and count whole weeks and days from there.
  // Week 0 is then the week before week 1, and weeks past the last run on
  // into the next year.
  calendar->clear();
  calendar->set(UCAL_YEAR_WOY, year);
  calendar->set(UCAL_WEEK_OF_YEAR, 1);
  calendar->set(UCAL_DAY_OF_WEEK, static_cast<UCalendarDaysOfWeek>(firstDay));
  const std::int64_t days = (static_cast<std::int64_t>(weekOfYear) - 1) * 7 +
                            ((static_cast<std::int64_t>(weekday) - firstDay) % 7 + 7) % 7;
  if (days < INT32_MIN || days > INT32_MAX) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  calendar->add(UCAL_DATE, static_cast<std::int32_t>(days), status);
  const UDate date = calendar->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  return date / kMillisecondsPerSecond;
}

std::optional<double> GregorianCalendar::dateFromComponents(std::int32_t year, std::int32_t month,
                                                            std::int32_t day, std::int32_t hour,
                                                            std::int32_t minute,
                                                            std::int32_t second) const {
  if (!prototype_) return std::nullopt;
  std::unique_ptr<icu::Calendar> calendar(prototype_->calendar->clone());
  calendar->clear();
  calendar->set(year, month - 1, day, hour, minute, second);
  UErrorCode status = U_ZERO_ERROR;
  const UDate date = calendar->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  return date / kMillisecondsPerSecond;
}

}  // namespace zor

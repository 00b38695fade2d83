// The production-date estimate of ZORMachineInfo: the year digit and the
// week that the serial number carries, placed in the most recent year (not
// after the current one) that ends in that digit.

#include <cctype>

#include "platform/Clock.h"
#include "platform/GregorianCalendar.h"
#include "platform/Utf8.h"
#include "system/ZORMachineInfo.h"
#include "system/ZORTimeUtilities.h"

namespace zor {
namespace {

struct YearCode {
  char16_t character;
  std::int16_t lastDigit;
  bool secondHalf;
};

// The fourth character of a 12-character serial number.
constexpr YearCode kYearCodes[] = {
    {u'C', 0, false}, {u'D', 0, true},  {u'F', 1, false}, {u'G', 1, true},  {u'H', 2, false},
    {u'J', 2, true},  {u'K', 3, false}, {u'L', 3, true},  {u'M', 4, false}, {u'N', 4, true},
    {u'P', 5, false}, {u'Q', 5, true},  {u'R', 6, false}, {u'S', 6, true},  {u'T', 7, false},
    {u'V', 7, true},  {u'W', 8, false}, {u'X', 8, true},  {u'Y', 9, false}, {u'Z', 9, true},
    {0, 0, false},
};

struct WeekCode {
  char16_t character;
  std::int16_t week;
};

// The fifth character of a 12-character serial number: the week within the half year.
constexpr WeekCode kWeekCodes[] = {
    {u'1', 1},  {u'2', 2},  {u'3', 3},  {u'4', 4},  {u'5', 5},  {u'6', 6},  {u'7', 7},
    {u'8', 8},  {u'9', 9},  {u'C', 10}, {u'D', 11}, {u'F', 12}, {u'G', 13}, {u'H', 14},
    {u'J', 15}, {u'K', 16}, {u'L', 17}, {u'M', 18}, {u'N', 19}, {u'P', 20}, {u'Q', 21},
    {u'R', 22}, {u'T', 23}, {u'V', 24}, {u'W', 25}, {u'X', 26}, {u'Y', 27}, {0, 0},
};

const YearCode* findYearCode(char32_t character) {
  for (const YearCode* row = kYearCodes; row->character != 0; ++row) {
    if (row->character == character) return row;
  }
  return nullptr;
}

const WeekCode* findWeekCode(char32_t character) {
  for (const WeekCode* row = kWeekCodes; row->character != 0; ++row) {
    if (row->character == character) return row;
  }
  return nullptr;
}

// An integer read from the start of a text the way the platform reads one:
// white space, a sign, then digits; 0 when there are none.
std::int16_t leadingInteger(const std::u32string& text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] < 0x80 && std::isspace(static_cast<int>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == U'+' || text[at] == U'-')) {
    negative = text[at] == U'-';
    ++at;
  }
  std::int32_t value = 0;
  for (; at < text.size() && text[at] >= U'0' && text[at] <= U'9'; ++at) {
    value = value * 10 + static_cast<std::int32_t>(text[at] - U'0');
  }
  return static_cast<std::int16_t>(negative ? -value : value);
}

}  // namespace

std::optional<double> ZORMachineInfo::estimatedProductionDate() const {
  const std::string serial = machineSerialNumber();
  if (serial.starts_with(fallBackSerialNumberPrefix())) return std::nullopt;
  const std::u32string characters = Utf8::decode(serial);

  std::int16_t digit = 0;
  std::int16_t week = 0;
  if (characters.size() == 11) {
    digit = leadingInteger(characters.substr(2, 1));
    week = leadingInteger(characters.substr(3, 2));
  } else if (characters.size() == 12) {
    const YearCode* year = findYearCode(characters[3]);
    if (year == nullptr) return std::nullopt;
    const WeekCode* weekCode = findWeekCode(characters[4]);
    if (weekCode == nullptr) return std::nullopt;
    digit = year->lastDigit;
    week = static_cast<std::int16_t>(weekCode->week + (year->secondHalf ? 26 : 0));
  }

  const auto now = GregorianCalendar::current().componentsOfDate(Clock::current().now());
  if (!now) return std::nullopt;
  const auto currentYear = static_cast<std::int16_t>(now->year);
  std::int32_t candidate = (currentYear / 10) * 10 + digit;
  if (candidate > currentYear) candidate -= 10;
  return ZORTimeUtilities::dateForWeek(week, static_cast<std::int16_t>(candidate), 1);
}

}  // namespace zor

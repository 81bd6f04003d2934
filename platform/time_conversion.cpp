#include "platform/time_conversion.h"

#include <ctime>

namespace vireo {
namespace {

constexpr int64_t kSecondsPerDay = 86'400;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochDays = 134'774;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthPart = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthPart + 2) / 5 + 1);
  month = static_cast<int>(monthPart < 10 ? monthPart + 3 : monthPart - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

}  // namespace

std::optional<int64_t> systemTimeToFileTime(const CalendarTime& c) {
  if (c.year < 1601 || c.year > 30827 || c.month < 1 || c.month > 12 || c.day < 1 ||
      c.day > daysInMonth(c.year, c.month) || c.hour < 0 || c.hour > 23 || c.minute < 0 ||
      c.minute > 59 || c.second < 0 || c.second > 59)
    return std::nullopt;
  const int64_t days = daysFromCivil(c.year, c.month, c.day) + kUnixEpochDays;
  const int64_t seconds = days * kSecondsPerDay + c.hour * 3600 + c.minute * 60 + c.second;
  return seconds * kFileTimeTicksPerSecond;
}

CalendarTime fileTimeToSystemTime(int64_t fileTime) {
  int64_t seconds = fileTime / kFileTimeTicksPerSecond;
  int64_t days = seconds / kSecondsPerDay;
  int64_t secondOfDay = seconds % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  CalendarTime c;
  civilFromDays(days - kUnixEpochDays, c.year, c.month, c.day);
  c.hour = static_cast<int>(secondOfDay / 3600);
  c.minute = static_cast<int>(secondOfDay / 60 % 60);
  c.second = static_cast<int>(secondOfDay % 60);
  // 1601-01-01 was a Monday.
  c.dayOfWeek = static_cast<int>(((days % 7) + 7 + 1) % 7);
  return c;
}

std::optional<int64_t> utcFileTimeToLocal(int64_t utcFileTime) {
  const int64_t unixSeconds = utcFileTime / kFileTimeTicksPerSecond - kUnixEpochDays * kSecondsPerDay;
  const time_t instant = static_cast<time_t>(unixSeconds);
  struct tm local {};
  if (localtime_r(&instant, &local) == nullptr) return std::nullopt;
  return utcFileTime + static_cast<int64_t>(local.tm_gmtoff) * kFileTimeTicksPerSecond;
}

std::string formatDateTime(const CalendarTime& c) {
  if (c.month < 1 || c.month > 12) return {};
  struct tm fields {};
  fields.tm_year = c.year - 1900;
  fields.tm_mon = c.month - 1;
  fields.tm_mday = c.day;
  fields.tm_hour = c.hour;
  fields.tm_min = c.minute;
  fields.tm_sec = c.second;
  fields.tm_wday = c.dayOfWeek;
  fields.tm_isdst = -1;
  int yearDay = c.day - 1;
  for (int month = 1; month < c.month; ++month) yearDay += daysInMonth(c.year, month);
  fields.tm_yday = yearDay;

  // One call for both parts while they fit a part's limit together (every date a message list
  // shows): the same text, at half the cost of the locale's formats.
  char both[101];
  const size_t written = strftime(both, sizeof both, "%x %X", &fields);
  if (written != 0) return std::string(both, written);

  char date[101] = {};
  char time[101] = {};
  if (strftime(date, sizeof date, "%x", &fields) == 0) date[0] = '\0';
  if (strftime(time, sizeof time, "%X", &fields) == 0) time[0] = '\0';
  std::string text(date);
  text += ' ';
  text += time;
  return text;
}

}  // namespace vireo

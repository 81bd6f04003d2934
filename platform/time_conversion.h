#pragma once
// Stand-ins for the Windows file-time calls. A file time counts 100-nanosecond intervals since
// 1 January 1601 (proleptic Gregorian); local time comes from the C library's time zone data.
#include <cstdint>
#include <optional>
#include <string>

namespace vireo {

inline constexpr int64_t kFileTimeTicksPerSecond = 10'000'000;
inline constexpr int64_t kFileTimeTicksPerMinute = 60 * kFileTimeTicksPerSecond;

struct CalendarTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..days in the month
  int hour = 0;
  int minute = 0;
  int second = 0;
  int dayOfWeek = 0;  // 0 = Sunday; filled by fileTimeToSystemTime, ignored on input
};

// Nothing when a field is out of range: year 1601..30827, month 1..12, day within the month,
// hour below 24, minute and second below 60.
std::optional<int64_t> systemTimeToFileTime(const CalendarTime& calendar);

CalendarTime fileTimeToSystemTime(int64_t fileTime);

// Local time of a UTC file time, with the zone offset in force at that instant (not today's), so
// old messages keep the hour they had under the summer or winter time of their own date. Nothing
// when the C library cannot place the instant.
std::optional<int64_t> utcFileTimeToLocal(int64_t utcFileTime);

// The user's short date and time ("%x %X" of the locale that the program set), each part at most
// 100 characters, joined by a space.
std::string formatDateTime(const CalendarTime& calendar);

}  // namespace vireo

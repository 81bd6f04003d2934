#include "content/date_parsing.h"

#include <langinfo.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "content/header_line.h"
#include "platform/time_conversion.h"

namespace vireo {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Zone {
  std::string_view name;
  int hours;
};
constexpr std::array<Zone, 10> kZones = {{{"UT", 0}, {"GMT", 0}, {"EST", -5}, {"EDT", -4},
                                          {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6},
                                          {"PST", -8}, {"PDT", -7}}};

// Calendar fields are 16-bit on the original platform; anything larger is out of range, and is
// kept out of range here instead of wrapping into a plausible value.
constexpr int kOutOfRange = 70000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Value of the leading decimal digits, 0 when there are none, kOutOfRange when too large.
int leadingNumber(std::string_view text) {
  int value = 0;
  for (char c : text) {
    if (!isDigit(c)) break;
    value = value * 10 + (c - '0');
    if (value > 65535) return kOutOfRange;
  }
  return value;
}

int monthNumber(std::string_view word) {
  word = word.substr(0, 3);
  for (size_t i = 0; i < kMonths.size(); ++i)
    if (equalsIgnoringAsciiCase(word, kMonths[i])) return static_cast<int>(i) + 1;
  return 0;
}

int zoneOffsetMinutes(std::string_view word) {
  if (word.size() == 5 && (word[0] == '+' || word[0] == '-')) {
    for (size_t i = 1; i < 5; ++i)
      if (!isDigit(word[i])) return 0;
    const int hours = (word[1] - '0') * 10 + (word[2] - '0');
    const int minutes = (word[3] - '0') * 10 + (word[4] - '0');
    const int offset = hours * 60 + minutes;
    return word[0] == '-' ? -offset : offset;
  }
  for (const Zone& zone : kZones)
    if (equalsIgnoringAsciiCase(word, zone.name)) return zone.hours * 60;
  return 0;
}

void readTimeOfDay(std::string_view word, CalendarTime& calendar) {
  int* parts[3] = {&calendar.hour, &calendar.minute, &calendar.second};
  size_t start = 0;
  for (int* part : parts) {
    if (start > word.size()) break;
    const size_t colon = word.find(':', start);
    const std::string_view piece =
        word.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    *part = leadingNumber(piece);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
}

void appendTwoDigits(std::string& text, int value, char pad) {
  text += value < 10 ? pad : static_cast<char>('0' + value / 10 % 10);
  text += static_cast<char>('0' + value % 10);
}

// The list's date text. strftime is the costliest step of a message's summary, and the usual
// short formats ("%m/%d/%y", "%d.%m.%Y", "%H:%M:%S", "%T") hold only numbers, which are written
// here directly; any other format, and anything that would not fit strftime's limit, goes to it.
std::string formatShortDateTime(const CalendarTime& calendar) {
  constexpr size_t kPartLimit = 100;
  std::optional<std::string> date = formatNumericPattern(nl_langinfo(D_FMT), calendar);
  if (date && date->size() <= kPartLimit) {
    const std::optional<std::string> time = formatNumericPattern(nl_langinfo(T_FMT), calendar);
    if (time && time->size() <= kPartLimit) {
      *date += ' ';
      *date += *time;
      return std::move(*date);
    }
  }
  return formatDateTime(calendar);
}

}  // namespace

namespace {

bool appendNumericPattern(std::string& text, std::string_view pattern, const CalendarTime& c, bool nested) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      text += pattern[i];
      continue;
    }
    if (++i == pattern.size()) return false;
    switch (pattern[i]) {
      case 'd': appendTwoDigits(text, c.day, '0'); break;
      case 'e': appendTwoDigits(text, c.day, ' '); break;
      case 'm': appendTwoDigits(text, c.month, '0'); break;
      case 'y': appendTwoDigits(text, c.year % 100, '0'); break;
      case 'Y':
        if (c.year < 1000) return false;  // strftime's padding of short years is left to it
        text += std::to_string(c.year);
        break;
      case 'D':
        appendTwoDigits(text, c.month, '0');
        text += '/';
        appendTwoDigits(text, c.day, '0');
        text += '/';
        appendTwoDigits(text, c.year % 100, '0');
        break;
      case 'H': appendTwoDigits(text, c.hour, '0'); break;
      case 'M': appendTwoDigits(text, c.minute, '0'); break;
      case 'S': appendTwoDigits(text, c.second, '0'); break;
      case 'T':
        appendTwoDigits(text, c.hour, '0');
        text += ':';
        appendTwoDigits(text, c.minute, '0');
        text += ':';
        appendTwoDigits(text, c.second, '0');
        break;
      // The twelve-hour clock, as strftime writes it: 12 for hour 0 and 12, and the locale's
      // words for before and after noon; %r is the locale's own pattern of them.
      case 'I': appendTwoDigits(text, c.hour % 12 == 0 ? 12 : c.hour % 12, '0'); break;
      case 'p': text += nl_langinfo(c.hour > 11 ? PM_STR : AM_STR); break;
      case 'r': {
        if (nested) return false;
        const std::string_view twelveHour = nl_langinfo(T_FMT_AMPM);
        if (!appendNumericPattern(text, twelveHour.empty() ? "%I:%M:%S %p" : twelveHour, c, true)) return false;
        break;
      }
      case '%': text += '%'; break;
      default: return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> formatNumericPattern(std::string_view pattern, const CalendarTime& c) {
  if (c.month < 1 || c.month > 12 || c.year < 0 || c.hour < 0) return std::nullopt;
  std::string text;
  text.reserve(24);
  if (!appendNumericPattern(text, pattern, c, false)) return std::nullopt;
  return text;
}

std::optional<int64_t> parseDateUtc(std::string_view value) {
  std::optional<Word> word = nextWord(value);
  if (!word) return std::nullopt;
  CalendarTime calendar;
  if (word->text.find(',') != std::string_view::npos) word = nextWord(value, word->end);
  if (word) {
    calendar.day = leadingNumber(word->text);
    word = nextWord(value, word->end);
  }
  if (word) {
    calendar.month = monthNumber(word->text);
    word = nextWord(value, word->end);
  }
  // A missing year stays 0 and so fails; only a year that is written gets its century.
  if (word) {
    int year = leadingNumber(word->text);
    if (year < 1601) year += year > 90 ? 1900 : 2000;
    calendar.year = year;
    word = nextWord(value, word->end);
  }
  std::string_view timeOfDay;
  if (word) {
    timeOfDay = word->text;
    word = nextWord(value, word->end);
  }
  const int offsetMinutes = word ? zoneOffsetMinutes(word->text) : 0;
  readTimeOfDay(timeOfDay, calendar);

  const std::optional<int64_t> stated = systemTimeToFileTime(calendar);
  if (!stated) return std::nullopt;
  const int64_t utc = *stated - offsetMinutes * kFileTimeTicksPerMinute;
  if (utc < 0) return std::nullopt;
  return utc;
}

void parseDate(std::string& dateText, uint64_t& time) {
  if (!nextWord(dateText)) {
    time = 0;
    return;
  }
  const std::optional<int64_t> utc = parseDateUtc(dateText);
  dateText.clear();
  time = 0;
  if (!utc) return;
  const std::optional<int64_t> local = utcFileTimeToLocal(*utc);
  if (!local || *local < 0) return;
  time = static_cast<uint64_t>(*local);
  dateText = formatShortDateTime(fileTimeToSystemTime(*local));
}

}  // namespace vireo

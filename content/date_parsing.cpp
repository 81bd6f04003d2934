#include "content/date_parsing.h"

#include <array>
#include <optional>
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

}  // namespace

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
  dateText = formatDateTime(fileTimeToSystemTime(*local));
}

}  // namespace vireo

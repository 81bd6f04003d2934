#include "content/date_parsing.h"

#include <langinfo.h>

#include <array>
#include <cstdint>
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

// Up to three bytes, case folded, as one number: a name is then found with one compare per row
// instead of a byte-by-byte compare per row.
constexpr uint32_t foldedKey(std::string_view word) {
  uint32_t key = 0;
  for (size_t i = 0; i < word.size() && i < 3; ++i) key |= static_cast<uint32_t>(static_cast<unsigned char>(asciiLower(word[i]))) << (8 * i);
  return key;
}

constexpr auto kMonthKeys = [] {
  std::array<uint32_t, kMonths.size()> keys{};
  for (size_t i = 0; i < kMonths.size(); ++i) keys[i] = foldedKey(kMonths[i]);
  return keys;
}();

int monthNumber(std::string_view word) {
  if (word.size() < 3) return 0;
  const uint32_t key = foldedKey(word);
  for (size_t i = 0; i < kMonthKeys.size(); ++i)
    if (kMonthKeys[i] == key) return static_cast<int>(i) + 1;
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
  if (word.size() < 2 || word.size() > 3) return 0;
  const uint32_t key = foldedKey(word);
  for (const Zone& zone : kZones)
    if (zone.name.size() == word.size() && foldedKey(zone.name) == key) return zone.hours * 60;
  return 0;
}

// A loop, not find: the words are a few bytes, and a memchr call per word costs more.
size_t findByte(std::string_view word, char wanted, size_t from = 0) {
  for (size_t i = from; i < word.size(); ++i)
    if (word[i] == wanted) return i;
  return std::string_view::npos;
}

void readTimeOfDay(std::string_view word, CalendarTime& calendar) {
  int* parts[3] = {&calendar.hour, &calendar.minute, &calendar.second};
  size_t start = 0;
  for (int* part : parts) {
    if (start > word.size()) break;
    const size_t colon = findByte(word, ':', start);
    const std::string_view piece =
        word.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    *part = leadingNumber(piece);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
}

// The date text is built in place: appending to a std::string byte by byte cost more than the
// formatting itself. Past its capacity it only notes the overflow, and the caller gives way to
// strftime.
class DateTextBuffer {
 public:
  void put(char c) {
    if (size_ < sizeof bytes_) bytes_[size_++] = c;
    else overflowed_ = true;
  }
  void put(std::string_view text) {
    for (const char c : text) put(c);
  }
  void putTwoDigits(int value, char pad) {
    put(value < 10 ? pad : static_cast<char>('0' + value / 10 % 10));
    put(static_cast<char>('0' + value % 10));
  }
  size_t size() const { return size_; }
  bool overflowed() const { return overflowed_; }
  std::string text() const { return {bytes_, size_}; }
  void copyTo(std::string& text) const { text.assign(bytes_, size_); }

 private:
  char bytes_[224];
  size_t size_ = 0;
  bool overflowed_ = false;
};

bool appendNumericPattern(DateTextBuffer& out, std::string_view pattern, const CalendarTime& c, bool nested) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      out.put(pattern[i]);
      continue;
    }
    if (++i == pattern.size()) return false;
    switch (pattern[i]) {
      case 'd': out.putTwoDigits(c.day, '0'); break;
      case 'e': out.putTwoDigits(c.day, ' '); break;
      case 'm': out.putTwoDigits(c.month, '0'); break;
      case 'y': out.putTwoDigits(c.year % 100, '0'); break;
      case 'Y':
        if (c.year < 1000) return false;  // strftime's padding of short years is left to it
        out.put(std::to_string(c.year));
        break;
      case 'D':
        out.putTwoDigits(c.month, '0');
        out.put('/');
        out.putTwoDigits(c.day, '0');
        out.put('/');
        out.putTwoDigits(c.year % 100, '0');
        break;
      case 'H': out.putTwoDigits(c.hour, '0'); break;
      case 'M': out.putTwoDigits(c.minute, '0'); break;
      case 'S': out.putTwoDigits(c.second, '0'); break;
      case 'T':
        out.putTwoDigits(c.hour, '0');
        out.put(':');
        out.putTwoDigits(c.minute, '0');
        out.put(':');
        out.putTwoDigits(c.second, '0');
        break;
      // The twelve-hour clock, as strftime writes it: 12 for hour 0 and 12, and the locale's
      // words for before and after noon; %r is the locale's own pattern of them.
      case 'I': out.putTwoDigits(c.hour % 12 == 0 ? 12 : c.hour % 12, '0'); break;
      case 'p': out.put(nl_langinfo(c.hour > 11 ? PM_STR : AM_STR)); break;
      case 'r': {
        if (nested) return false;
        const std::string_view twelveHour = nl_langinfo(T_FMT_AMPM);
        if (!appendNumericPattern(out, twelveHour.empty() ? "%I:%M:%S %p" : twelveHour, c, true)) return false;
        break;
      }
      case '%': out.put('%'); break;
      default: return false;
    }
  }
  return !out.overflowed();
}

bool isFormattable(const CalendarTime& c) { return c.month >= 1 && c.month <= 12 && c.year >= 0 && c.hour >= 0; }

// The list's date text. strftime is the costliest step of a message's summary, and the usual
// short formats ("%m/%d/%y", "%d.%m.%Y", "%H:%M:%S", "%T", "%r") hold only numbers and the
// locale's AM/PM words, which are written here directly; any other format, and a part longer
// than strftime's limit of 100 bytes, goes to strftime.
// Written into text in place, which keeps the buffer the raw value had.
void formatShortDateTime(const CalendarTime& calendar, std::string& text) {
  constexpr size_t kPartLimit = 100;
  DateTextBuffer out;
  if (isFormattable(calendar) && appendNumericPattern(out, nl_langinfo(D_FMT), calendar, false) &&
      out.size() <= kPartLimit) {
    const size_t dateSize = out.size();
    out.put(' ');
    if (appendNumericPattern(out, nl_langinfo(T_FMT), calendar, false) && out.size() - dateSize - 1 <= kPartLimit) {
      out.copyTo(text);
      return;
    }
  }
  text = formatDateTime(calendar);
}

}  // namespace

std::optional<std::string> formatNumericPattern(std::string_view pattern, const CalendarTime& c) {
  DateTextBuffer out;
  if (!isFormattable(c) || !appendNumericPattern(out, pattern, c, false)) return std::nullopt;
  return out.text();
}

std::optional<int64_t> parseDateUtc(std::string_view value) {
  std::optional<Word> word = nextWord(value);
  if (!word) return std::nullopt;
  CalendarTime calendar;
  if (findByte(word->text, ',') != std::string_view::npos) word = nextWord(value, word->end);
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
  formatShortDateTime(fileTimeToSystemTime(*local), dateText);
}

}  // namespace vireo

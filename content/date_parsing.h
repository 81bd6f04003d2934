#pragma once
// The Date header value turned into the local file time and the text the message list shows.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vireo {

// dateText holds the stored Date value on entry. When it parses to a valid time, time becomes
// the local file time and dateText the user's short date and time; when it does not, both are
// cleared. A value with no word at all is kept as it is, with time 0.
void parseDate(std::string& dateText, uint64_t& time);

struct CalendarTime;

// The calendar time written with a strftime pattern made only of numeric fields (%d %e %m %y %Y
// %D %H %M %S %T %I), the locale's AM/PM words (%p, %r), %% and other characters, as strftime
// writes it; nothing for any other conversion or modifier, or a text of over 200 bytes, which
// are left to strftime.
std::optional<std::string> formatNumericPattern(std::string_view pattern, const CalendarTime& calendar);

// The UTC file time a Date value names (its zone applied), or nothing when it does not parse.
std::optional<int64_t> parseDateUtc(std::string_view value);

}  // namespace vireo

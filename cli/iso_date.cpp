#include "cli/iso_date.h"

#include <cstdio>
#include <optional>

#include "platform/time_conversion.h"

namespace vireo::cli {

std::string isoDateUtc(uint64_t localFileTime) {
  if (localFileTime == 0) return {};
  const int64_t local = static_cast<int64_t>(localFileTime);
  // utc + offset(utc) = local: start from the offset at local itself and correct it, which
  // settles within two steps even across a change of the offset.
  int64_t utc = local;
  for (int step = 0; step < 3; ++step) {
    const std::optional<int64_t> back = utcFileTimeToLocal(utc);
    if (!back) return {};
    utc = local - (*back - utc);
  }
  if (utc < 0) return {};
  const CalendarTime c = fileTimeToSystemTime(utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

}  // namespace vireo::cli

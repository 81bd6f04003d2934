#pragma once
// The machine-readable date of a listed message: RFC 3339 in UTC ("2006-12-05T10:00:00Z").
#include <cstdint>
#include <string>

namespace vireo::cli {

// The UTC instant of a record's local file time, written as RFC 3339; empty for 0 (no date).
// The local time was made with the zone offset in force at that instant, so the offset is found
// again the same way; in the hour a clock is set back, one of the two instants is given.
std::string isoDateUtc(uint64_t localFileTime);

}  // namespace vireo::cli

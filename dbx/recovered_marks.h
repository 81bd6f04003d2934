#pragma once
// What recovery tells about each message it found, beyond its bytes: whether the file holds only
// part of it (a fragment), and whether the base's index lists it.
#include <cstdint>
#include <string>

#include "dbx/operation.h"
#include "dbx/seen_record_ends.h"
#include "table/message_table.h"

namespace vireo::dbx {

// What a mark read of the file, for the benchmarks' counters.
struct MarksReading {
  uint64_t bytesRead = 0;
  uint64_t bytesFetched = 0;
};

// After the messages were read: a record whose chain ends at a link that leads nowhere is cut
// short, and one whose bytes do not begin with a message's headers (its first block is gone) is
// kept as a fragment instead of being dropped, provided its first block is a message block.
// Valid records are numbered again in table order.
void markFragments(const std::string& path, MessageTable& table, MarksReading* reading = nullptr);

// Reads the base's index (as a browse does, into a table of its own) and marks every record
// whose first block none of the listed messages' chains reaches. False, and nothing marked, when
// the index cannot be read. The table must be what recovery made of this file: the listed chains
// are followed through its block lists, and the file is read only where a chain leaves them.
bool markUnindexed(const std::string& path, MessageTable& table, const OperationControl& control,
                   MarksReading* reading = nullptr);

// Both marks, reading each record's few bytes once: what recovery runs after reading the messages.
// With what recoverMessages saw of the records' ends (for this table), only the rest is read.
bool markRecovered(const std::string& path, MessageTable& table, const OperationControl& control,
                   MarksReading* reading = nullptr, const SeenRecordEnds* seen = nullptr);

}  // namespace vireo::dbx

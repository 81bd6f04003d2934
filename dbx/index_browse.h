#pragma once
// Browsing: the base's index from the file header, the loose records of its chain table, and
// each message's block list.
#include <cstdint>
#include <string>

#include "dbx/message_reading.h"
#include "dbx/operation.h"
#include "table/message_table.h"

namespace vireo::dbx {

struct BrowseResult {
  OperationOutcome outcome;
  // The index could not be read: set for every end but completion and a stop.
  bool browseFailed = true;
};

// All the reading a browse and the message reading after it may do, in bytes: a small multiple
// of the file's size. Real bases, whose structures do not overlap, stay far inside it.
uint64_t browseReadingBound(uint64_t fileSize);

// Adds one record per message found to table, in index order, then the chain table's. With a
// parser, also does what readMessages would do after it, in the same read of the file: each
// message's first bytes are parsed as its chain is walked. A browse that fails or is stopped
// before its walk ends leaves no record parsed, as it would without one.
BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const HeaderParser* parse = nullptr);

}  // namespace vireo::dbx

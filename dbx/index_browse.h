#pragma once
// Browsing: the base's index from the file header, the loose records of its chain table, and
// each message's block list.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// The same browse with a parser of records: a large base may then be walked in parts on several
// threads, each parsing the messages it walked (the table and the outcome are the same; only its
// bytes counts may differ, when a base that cannot be walked in parts is walked again in one go).
BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const RecordParser& parse);

// Chains another reading of the same file already followed (recovery's records): each block list
// runs in chain order, every block's next link naming the block after it, and lastNext holds the
// link stored in each list's last block (which the list cannot tell); a list whose last link is
// not known is not used.
struct KnownChains {
  const MessageTable* table = nullptr;
  std::vector<std::optional<uint32_t>> lastNext;  // one per block list of table
};

// The same browse, with the same checks and failures and the same block lists in table, without
// walking through the file the chains `known` already holds: where a walk comes to the first block
// of a known chain it takes that chain's blocks as its own, and reads the file only where it
// leaves them. The lengths are the known ones (recovery counts a used count above 512 as 512),
// and no record learns whether it was deleted: the table says which blocks the index reaches.
BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const KnownChains& known);

}  // namespace vireo::dbx

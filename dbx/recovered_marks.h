#pragma once
// What recovery tells about each message it found, beyond its bytes: whether the file holds only
// part of it (a fragment), and whether the base's index lists it.
#include <string>

#include "dbx/operation.h"
#include "table/message_table.h"

namespace vireo::dbx {

// After the messages were read: a record whose chain ends at a link that leads nowhere is cut
// short, and one whose bytes do not begin with a message's headers (its first block is gone) is
// kept as a fragment instead of being dropped, provided its first block is a message block.
// Valid records are numbered again in table order.
void markFragments(const std::string& path, MessageTable& table);

// Reads the base's index (as a browse does, into a table of its own) and marks every record
// whose first block none of the listed messages' chains reaches. False, and nothing marked, when the index cannot be read.
bool markUnindexed(const std::string& path, MessageTable& table, const OperationControl& control);

}  // namespace vireo::dbx

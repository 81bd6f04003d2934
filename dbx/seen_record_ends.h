#pragma once
// What recovery saw of each record's ends while it read the file, so that the marks made after
// it (fragments, what the index lists) need not read those few bytes again.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vireo::dbx {

// A field name is at most this long; the bytes up to its colon are all a fragment mark looks at.
inline constexpr size_t kFirstBytesLooked = 77;

// A message begins with a header field: a name of printable characters and a colon. A chain that
// begins elsewhere lost its first block.
bool beginsWithHeaderField(const uint8_t* bytes, size_t length);

struct SeenRecordEnds {
  // A block that started a chain in the scan's view, by the offset of its data.
  struct Start {
    uint32_t offset = 0;
    int16_t length = 0;         // its data length, as in a block list
    bool messageBlock = false;  // its header's size field is a message block's (512 or 508)
    bool headerField = false;   // beginsWithHeaderField over its first kFirstBytesLooked bytes
  };
  // Ascending by offset. A record whose first block is not here has those bytes read.
  std::vector<Start> starts;
  // One per record, in table order: the link in its last block's header. Empty when unknown.
  std::vector<uint32_t> lastNext;

  const Start* startAt(uint32_t offset, int16_t length) const;
};

}  // namespace vireo::dbx

#pragma once
// Where a message's bytes lie: the data of its blocks, concatenated in list order.
#include <cstdint>
#include <span>
#include <vector>

namespace vireo {

struct BlockRef {
  uint32_t offset = 0;  // file offset of the block's first data byte (block start + 16)
  int16_t length = 0;   // data bytes in the block
};

// A message's blocks as its table keeps them: a view into the table's one array of blocks.
using BlockSpan = std::span<const BlockRef>;

// A list of blocks kept on its own: one being made, or a copy taken out of a table.
struct BlockList {
  std::vector<BlockRef> entries;
  int count() const { return static_cast<int>(entries.size()); }
};

}  // namespace vireo

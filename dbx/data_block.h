#pragma once
// The 16-byte header of a data block.
#include <cstdint>

#include "dbx/base_file.h"

namespace vireo::dbx {

struct BlockHeader {
  uint32_t self = 0;       // the block's own offset
  uint32_t sizeField = 0;  // 508 in a first block: deleted
  int32_t used = 0;        // data bytes used
  uint32_t next = 0;       // next block of the message, 0 ends the chain
};

// False when the header cannot be read in full at offset.
[[nodiscard]] bool readBlockHeader(BaseFile& file, uint32_t offset, BlockHeader& header);

}  // namespace vireo::dbx

#pragma once
// The 16-byte header of a data block.
#include <cstdint>

#include "dbx/base_file.h"
#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::dbx {

struct BlockHeader {
  uint32_t self = 0;       // the block's own offset
  uint32_t sizeField = 0;  // 508 in a first block: deleted
  int32_t used = 0;        // data bytes used
  uint32_t next = 0;       // next block of the message, 0 ends the chain
};

// False when the header cannot be read in full at offset. Inline: a walk reads one per block.
[[nodiscard]] inline bool readBlockHeader(BaseFile& file, uint32_t offset, BlockHeader& header) {
  uint8_t copy[kBlockHeaderSize];
  const uint8_t* bytes = file.view(offset, kBlockHeaderSize);
  if (!bytes) {
    // The header straddles two windows (or the file ends in it): copied together.
    if (!file.readExact(offset, copy, sizeof copy)) return false;
    bytes = copy;
  }
  const ByteView view(bytes, kBlockHeaderSize);
  header.self = view.u32(kBlockSelf);
  header.sizeField = view.u32(kBlockSizeField);
  header.used = view.i32(kBlockUsed);
  header.next = view.u32(kBlockNext);
  return true;
}

}  // namespace vireo::dbx

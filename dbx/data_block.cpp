#include "dbx/data_block.h"

#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::dbx {

bool readBlockHeader(BaseFile& file, uint32_t offset, BlockHeader& header) {
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

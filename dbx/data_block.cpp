#include "dbx/data_block.h"

#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::dbx {

bool readBlockHeader(BaseFile& file, uint32_t offset, BlockHeader& header) {
  uint8_t bytes[kBlockHeaderSize];
  if (!file.readExact(offset, bytes, sizeof bytes)) return false;
  const ByteView view(bytes, sizeof bytes);
  header.self = view.u32(kBlockSelf);
  header.sizeField = view.u32(kBlockSizeField);
  header.used = view.i32(kBlockUsed);
  header.next = view.u32(kBlockNext);
  return true;
}

}  // namespace vireo::dbx

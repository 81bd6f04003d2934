#include "tests/core/base_fixture.h"

#include "platform/read_only_file.h"

namespace vireo::testing {

void fillReaderTable(WorkerShared& table, int count) {
  for (int i = table.readerCount; i < count; ++i) {
    table.readers[static_cast<size_t>(i)].baseName = "filler" + std::to_string(i) + ".dbx";
    table.readers[static_cast<size_t>(i)].baseFolder = "/nowhere";
  }
  table.readerCount = count;
}

std::string readThroughBlocks(const MessageBaseReader& reader, int recordIndex) {
  ReadOnlyFile file;
  if (!file.open(reader.workingPath)) return "<cannot open>";
  std::string bytes;
  for (const BlockRef& block : reader.blocksOf(static_cast<size_t>(recordIndex))) {
    std::string part(static_cast<size_t>(block.length), '\0');
    part.resize(file.readAt(block.offset, part.data(), part.size()));
    bytes += part;
  }
  return bytes;
}

}  // namespace vireo::testing

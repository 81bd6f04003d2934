#include "dbx/recovered_marks.h"

#include <algorithm>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/data_block.h"
#include "dbx/index_browse.h"
#include "dbx/layout.h"

namespace vireo::dbx {
namespace {

// A message begins with a header field: a name of printable characters and a colon. A chain that
// begins elsewhere lost its first block.
bool beginsWithHeaderField(BaseFile& file, const BlockRef& first) {
  constexpr size_t kLongestName = 76;
  uint8_t bytes[kLongestName + 1] = {};
  const size_t length = std::min<size_t>(sizeof bytes, static_cast<size_t>(std::max<int16_t>(first.length, 0)));
  if (length == 0 || !file.readExact(first.offset, bytes, length)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] == ':') return i > 0;
    if (bytes[i] < 33 || bytes[i] > 126) return false;
  }
  return false;
}

// Whether every block lies within the file, so the record's bytes can be written whole.
bool withinFile(const std::vector<BlockRef>& blocks, uint64_t fileSize) {
  return std::all_of(blocks.begin(), blocks.end(), [fileSize](const BlockRef& block) {
    return block.length >= 0 && uint64_t{block.offset} + static_cast<uint64_t>(block.length) <= fileSize;
  });
}

}  // namespace

void markFragments(const std::string& path, MessageTable& table) {
  BaseFile file;
  if (!file.open(path)) return;  // recovery has just read it; nothing is marked otherwise
  for (int i = 0; i < table.count(); ++i) {
    MessageRecord& record = table.records[static_cast<size_t>(i)];
    const std::vector<BlockRef>& blocks = table.blockLists[static_cast<size_t>(i)].entries;
    record.fragment = false;
    if (blocks.empty() || record.size <= 0 || record.size >= kMaxMessageSize) continue;
    BlockHeader first, last;
    if (!readBlockHeader(file, blocks.front().offset - kBlockHeaderSize, first) ||
        !readBlockHeader(file, blocks.back().offset - kBlockHeaderSize, last))
      continue;
    const bool cutShort = last.next != 0;
    const bool messageBlock = first.sizeField == kNormalBlockSize || first.sizeField == kDeletedBlockSize;
    const bool headless = !beginsWithHeaderField(file, blocks.front());
    if (record.invalid) {
      // Its headers did not parse, as the beginning of a message is missing: what is left is kept.
      if (messageBlock && headless && withinFile(blocks, file.size())) {
        record.clearTexts();
        record.invalid = false;
        record.fragment = true;
      }
    } else if (cutShort || headless) {
      record.fragment = true;
    }
  }
  table.validCount = 0;
  for (MessageRecord& record : table.records)
    if (!record.invalid) record.number = table.validCount++;
}

bool markUnindexed(const std::string& path, MessageTable& table, const OperationControl& control) {
  MessageTable listed;
  const BrowseResult browse = browseIndex(path, listed, control);
  if (!browse.outcome.ok() || browse.browseFailed) return false;
  std::vector<uint32_t> reached;
  // Every block the index reaches: a fragment that is the end of a listed message is listed.
  for (const BlockList& blocks : listed.blockLists)
    for (const BlockRef& block : blocks.entries) reached.push_back(block.offset);
  std::sort(reached.begin(), reached.end());
  for (int i = 0; i < table.count(); ++i) {
    const std::vector<BlockRef>& blocks = table.blockLists[static_cast<size_t>(i)].entries;
    table.records[static_cast<size_t>(i)].unindexed =
        !blocks.empty() && !std::binary_search(reached.begin(), reached.end(), blocks.front().offset);
  }
  return true;
}

}  // namespace vireo::dbx

#include "dbx/recovered_marks.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/byte_view.h"
#include "dbx/data_block.h"
#include "dbx/index_browse.h"
#include "dbx/layout.h"
#include "dbx/scattered_reads.h"
#include "dbx/seen_record_ends.h"

namespace vireo::dbx {
namespace {

constexpr size_t kNoPiece = SIZE_MAX;

// Whether every block lies within the file, so the record's bytes can be written whole.
bool withinFile(BlockSpan blocks, uint64_t fileSize) {
  return std::all_of(blocks.begin(), blocks.end(), [fileSize](const BlockRef& block) {
    return block.length >= 0 && uint64_t{block.offset} + static_cast<uint64_t>(block.length) <= fileSize;
  });
}

bool fragmentsLookAt(const MessageRecord& record, BlockSpan blocks) {
  return !blocks.empty() && record.size > 0 && record.size < kMaxMessageSize;
}

// The few bytes of each record the marks look at: its first block's header and first bytes (for
// fragments), its last block's header (both). What recovery saw of them is taken as it is; the
// rest is read at once, in file order.
class RecordEnds {
 public:
  RecordEnds(const MessageTable& table, bool forFragments, bool forIndex, const SeenRecordEnds* seen)
      : ends_(table.listCount()) {
    const bool lastSeen = seen && seen->lastNext.size() == ends_.size();
    for (size_t i = 0; i < ends_.size(); ++i) {
      const BlockSpan blocks = table.blocksOf(i);
      End& e = ends_[i];
      bool wantLast = forIndex && !blocks.empty();
      if (forFragments && fragmentsLookAt(table.records[i], blocks)) {
        wantLast = true;
        if (const SeenRecordEnds::Start* start = seen ? seen->startAt(blocks.front().offset, blocks.front().length) : nullptr) {
          e.firstSeen = true;
          e.messageBlock = start->messageBlock;
          e.headerField = start->headerField;
        } else {
          e.first = reads_.add(blocks.front().offset - kBlockHeaderSize, kBlockHeaderSize);
          e.startLength = static_cast<uint32_t>(
              std::min<size_t>(kFirstBytesLooked, static_cast<size_t>(std::max<int16_t>(blocks.front().length, 0))));
          e.start = reads_.add(blocks.front().offset, e.startLength);
        }
      }
      if (!wantLast) continue;
      if (lastSeen) {
        e.lastSeen = true;
        e.lastNext = seen->lastNext[i];
      } else {
        e.last = reads_.add(blocks.back().offset - kBlockHeaderSize, kBlockHeaderSize);
      }
    }
  }
  void read(BaseFile& file) { reads_.read(file); }

  // Whether the first block's size field is a message block's; nothing when it was not read.
  std::optional<bool> messageBlock(size_t i) const {
    const End& e = ends_[i];
    if (e.firstSeen) return e.messageBlock;
    const std::optional<BlockHeader> first = header(e.first);
    if (!first) return std::nullopt;
    return first->sizeField == kNormalBlockSize || first->sizeField == kDeletedBlockSize;
  }
  // The link in the last block's header; nothing when it was not read.
  std::optional<uint32_t> lastNext(size_t i) const {
    const End& e = ends_[i];
    if (e.lastSeen) return e.lastNext;
    const std::optional<BlockHeader> last = header(e.last);
    if (!last) return std::nullopt;
    return last->next;
  }
  bool headless(size_t i) const {
    const End& e = ends_[i];
    if (e.firstSeen) return !e.headerField;
    return e.startLength == 0 || !reads_.complete(e.start) || !beginsWithHeaderField(reads_.bytes(e.start), e.startLength);
  }

 private:
  struct End {
    size_t first = kNoPiece, start = kNoPiece, last = kNoPiece;
    uint32_t startLength = 0;
    uint32_t lastNext = 0;
    bool firstSeen = false, messageBlock = false, headerField = false;
    bool lastSeen = false;
  };
  std::optional<BlockHeader> header(size_t piece) const {
    if (piece == kNoPiece || !reads_.complete(piece)) return std::nullopt;
    const ByteView view(reads_.bytes(piece), kBlockHeaderSize);
    return BlockHeader{view.u32(kBlockSelf), view.u32(kBlockSizeField), view.i32(kBlockUsed), view.u32(kBlockNext)};
  }
  ScatteredReads reads_;
  std::vector<End> ends_;
};

void count(MarksReading* reading, uint64_t bytesRead, uint64_t bytesFetched) {
  if (!reading) return;
  reading->bytesRead += bytesRead;
  reading->bytesFetched += bytesFetched;
}

void applyFragmentMarks(MessageTable& table, const RecordEnds& ends, uint64_t fileSize) {
  for (size_t i = 0; i < table.records.size(); ++i) {
    MessageRecord& record = table.records[i];
    const BlockSpan blocks = table.blocksOf(i);
    record.fragment = false;
    if (!fragmentsLookAt(record, blocks)) continue;
    const std::optional<bool> messageBlock = ends.messageBlock(i);
    const std::optional<uint32_t> lastNext = ends.lastNext(i);
    if (!messageBlock || !lastNext) continue;
    const bool cutShort = *lastNext != 0;
    const bool headless = ends.headless(i);
    if (record.invalid) {
      // Its headers did not parse, as the beginning of a message is missing: what is left is kept.
      if (*messageBlock && headless && withinFile(blocks, fileSize)) {
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

// The index's chains are followed through the records' block lists, which recovery built by
// following the same links: only the index, and the file where a chain leaves a list, are read.
bool applyIndexMarks(const std::string& path, MessageTable& table, const RecordEnds& ends,
                     const OperationControl& control, MarksReading* reading) {
  KnownChains known;
  known.table = &table;
  known.lastNext.resize(table.listCount());
  for (size_t i = 0; i < known.lastNext.size(); ++i)
    known.lastNext[i] = ends.lastNext(i);
  MessageTable listed;  // the browse gives it room for the index's entries
  const BrowseResult browse = browseIndex(path, listed, control, known);
  count(reading, browse.outcome.bytesRead, browse.outcome.bytesFetched);
  if (!browse.outcome.ok() || browse.browseFailed) return false;

  // A record is listed when a listed chain reaches its first block (the end of a listed message
  // that recovery found apart is listed too). The listed chains hold every block of the base, the
  // records' first blocks a few of them: a bit per 16 bytes of the file passes over the others
  // without a look-up in the first blocks, sorted with their records.
  std::vector<std::pair<uint32_t, uint32_t>> firstBlocks;  // offset, record
  firstBlocks.reserve(table.listCount());
  for (size_t i = 0; i < table.listCount(); ++i)
    if (const BlockSpan blocks = table.blocksOf(i); !blocks.empty())
      firstBlocks.emplace_back(blocks.front().offset, static_cast<uint32_t>(i));
  std::sort(firstBlocks.begin(), firstBlocks.end());
  auto bit = [](uint32_t offset) { return offset / kBlockHeaderSize; };
  std::vector<uint64_t> mayStart(firstBlocks.empty() ? 0 : bit(firstBlocks.back().first) / 64 + 1);
  for (const auto& [offset, record] : firstBlocks) mayStart[bit(offset) / 64] |= uint64_t{1} << (bit(offset) % 64);
  std::vector<uint8_t> reached(table.records.size());
  for (const BlockRef& block : listed.blocks) {
    const uint32_t b = bit(block.offset);
    if (b / 64 >= mayStart.size() || !(mayStart[b / 64] >> (b % 64) & 1)) continue;
    auto at = std::lower_bound(firstBlocks.begin(), firstBlocks.end(), std::pair<uint32_t, uint32_t>{block.offset, 0});
    for (; at != firstBlocks.end() && at->first == block.offset; ++at) reached[at->second] = 1;
  }
  for (size_t i = 0; i < table.records.size(); ++i)
    table.records[i].unindexed = !table.blocksOf(i).empty() && !reached[i];
  return true;
}

}  // namespace

void markFragments(const std::string& path, MessageTable& table, MarksReading* reading) {
  BaseFile file;
  if (!file.open(path)) return;  // recovery has just read it; nothing is marked otherwise
  RecordEnds ends(table, true, false, nullptr);
  ends.read(file);
  applyFragmentMarks(table, ends, file.size());
  count(reading, file.bytesRead(), file.bytesFetched());
}

bool markUnindexed(const std::string& path, MessageTable& table, const OperationControl& control,
                   MarksReading* reading) {
  RecordEnds ends(table, false, true, nullptr);
  BaseFile file;
  if (file.open(path)) ends.read(file);  // when it cannot be opened, neither can the browse
  count(reading, file.bytesRead(), file.bytesFetched());
  return applyIndexMarks(path, table, ends, control, reading);
}

bool markRecovered(const std::string& path, MessageTable& table, const OperationControl& control,
                   MarksReading* reading, const SeenRecordEnds* seen) {
  RecordEnds ends(table, true, true, seen);
  BaseFile file;
  if (file.open(path)) {
    ends.read(file);
    applyFragmentMarks(table, ends, file.size());
  }
  count(reading, file.bytesRead(), file.bytesFetched());
  return applyIndexMarks(path, table, ends, control, reading);
}

}  // namespace vireo::dbx

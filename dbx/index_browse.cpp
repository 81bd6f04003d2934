#include "dbx/index_browse.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/byte_view.h"
#include "dbx/chain_walk.h"
#include "dbx/data_block.h"
#include "dbx/failure_boundary.h"
#include "dbx/file_header.h"
#include "dbx/header_pipeline.h"
#include "dbx/layout.h"
#include "dbx/offset_set.h"
#include "dbx/run_on_threads.h"
#include "table/index_entry.h"

namespace vireo::dbx {
namespace {

// A real index is a shallow tree (depth 4 holds millions of messages); deeper nesting only comes
// from damage, and would otherwise recurse as deep as the file allows.
constexpr int kMaxIndexDepth = 64;
// Chain-table chains are short in real bases; a longer one keeps pointing into records already
// seen or overlapping, so the table scan ends there instead of exhausting memory.
constexpr size_t kMaxLooseRecords = 1000000;

// The browse's working data: where each message's record lies, before its record is made. It
// exists only while a browse runs.
struct IndexScratch {
  int indexCapacity = 0;
  std::vector<IndexEntry> indexEntries;
  int expectedCount = 0;
  int indexFound = 0;
};

// The data blocks' headers a walk reads: from the known chains while it follows one, from the
// file elsewhere. A block of a known chain carries its own offset and links to the next block of
// its list, so serving it from the list gives what the file holds, but for a used count above 512.
class BlockHeaderSource {
 public:
  BlockHeaderSource(BaseFile& file, const KnownChains* known) : file_(file), known_(known) {
    if (!known_ || !known_->table) return;
    const MessageTable& table = *known_->table;
    for (size_t i = 0; i < table.listCount() && i < known_->lastNext.size(); ++i) {
      const BlockSpan list = table.blocksOf(i);
      if (!list.empty() && known_->lastNext[i]) starts_.push_back({list.front().offset - kBlockHeaderSize, i});
    }
    std::sort(starts_.begin(), starts_.end());
  }

  // False when the file cannot give the header at `at`.
  bool header(uint32_t at, BlockHeader& out) {
    if (position_ + 1 < list_.size() && list_[position_ + 1].offset - kBlockHeaderSize == at) {
      ++position_;
      return serve(out);
    }
    const auto start = std::lower_bound(starts_.begin(), starts_.end(), std::pair<uint32_t, size_t>{at, 0});
    if (start != starts_.end() && start->first == at) {
      list_ = known_->table->blocksOf(start->second);
      listNext_ = *known_->lastNext[start->second];
      position_ = 0;
      return serve(out);
    }
    list_ = {};
    return readBlockHeader(file_, at, out);
  }
  // The header bytes served from known chains: read as far as the reading bound is concerned.
  uint64_t servedBytes() const { return served_; }

  // The known chain whose first block's header was just served, if any: a walk that starts there
  // takes its blocks at once, then passes over their headers.
  BlockSpan knownChainAt(uint32_t at) const {
    if (list_.empty() || position_ != 0 || list_.front().offset - kBlockHeaderSize != at) return {};
    return list_;
  }
  void passOver(size_t blocks) {
    position_ += blocks;
    served_ += blocks * uint64_t{kBlockHeaderSize};
  }
  // The header of the known block the walk is at.
  BlockHeader current() const {
    return BlockHeader{list_[position_].offset - kBlockHeaderSize, 0, list_[position_].length,
                       position_ + 1 < list_.size() ? list_[position_ + 1].offset - kBlockHeaderSize : listNext_};
  }

 private:
  bool serve(BlockHeader& out) {
    out = current();
    served_ += kBlockHeaderSize;
    return true;
  }

  BaseFile& file_;
  const KnownChains* known_;
  std::vector<std::pair<uint32_t, size_t>> starts_;  // first block's header offset, list
  BlockSpan list_;  // the known chain being followed; empty when none
  size_t position_ = 0;
  uint32_t listNext_ = 0;
  uint64_t served_ = 0;
};

// Blocks all of a browse's chains may hold together. Chains of a sound base share no block, so
// they cannot hold more blocks than fit in the file; damaged chains that merge into one long tail
// would otherwise be walked once per message that runs into it.
uint64_t blockBudgetFor(uint64_t fileSize) { return 2 * (fileSize / kBlockHeaderSize) + 1000; }

class IndexBrowser {
 public:
  IndexBrowser(MessageTable& table, IndexScratch& scratch, BaseFile& file, HeaderPipeline* pipeline,
               const KnownChains* known)
      : table_(table),
        scratch_(scratch),
        file_(file),
        pipeline_(pipeline),
        headers_(file, known),
        hasKnownChains_(known != nullptr),
        readingBound_(browseReadingBound(file.size())) {}

  void walkIndexNode(uint32_t parent, uint32_t node, int64_t base, int64_t expected, int depth);
  void scanChainTable();
  void readMessageInfo(size_t i, bool loose);
  // An entry whose record cannot be reached keeps data offset 0.
  void skipEntry() { earlierEntryHasZero_ = true; }
  // Each message's first bytes are parsed on this thread as soon as its chain is walked, into
  // this browser's own table, while they are still in this core's cache.
  void parseAsWalked(const RecordParser& parse) { parseHere_ = &parse; }
  uint64_t blocksWalked() const { return blocksWalked_; }
  // What the reading bound is checked against.
  uint64_t readingDone() const { return file_.bytesRead() + headers_.servedBytes() - assembledBytes_ + messageBytes_; }

 private:
  // A message's first bytes as its chain is walked, copied for parsing while the walk's windows
  // still hold them.
  struct Assembly {
    size_t filled = 0;
    bool failed = false;
    bool done = false;
  };
  bool findDataOffset(uint32_t recordOffset, bool loose, uint32_t& dataOffset);
  void assembleBlock(const BlockRef& block, Assembly& assembly);
  // Fails the browse once its reading, with what the message reading will read after it, passes
  // the bound: overlapping chains could otherwise make every message read the same megabyte.
  // Copying the messages' bytes during the walk is that message reading, counted already.
  void checkReadingBound(uint32_t at) const {
    if (readingDone() > readingBound_) failFormat(at, "the index and its chains take more reading than the file holds");
  }
  // Without known chains every header comes from the file: read inline, once per block.
  bool blockHeader(uint32_t at, BlockHeader& out) {
    return hasKnownChains_ ? headers_.header(at, out) : readBlockHeader(file_, at, out);
  }
  bool alreadyListed(uint32_t dataOffset, bool loose);
  void noteStoredDataOffset(uint32_t dataOffset);
  // Where the message being assembled starts, with room for `more` bytes past the `filled` ones.
  uint8_t* assemblyRoom(size_t filled, size_t more);
  void parseAssembled(int recordIndex, int length);

  MessageTable& table_;
  IndexScratch& scratch_;
  BaseFile& file_;
  HeaderPipeline* pipeline_;  // none: the headers are read afterwards, or parsed here
  const RecordParser* parseHere_ = nullptr;
  std::unique_ptr<uint8_t[]> assembled_;  // the message parsed here, reused
  size_t assembledCapacity_ = 0;
  BlockHeaderSource headers_;
  const bool hasKnownChains_;
  const uint64_t readingBound_;
  uint64_t messageBytes_ = 0;  // what the message reading will read of the records made so far
  uint64_t assembledBytes_ = 0;  // what the walk copied of messages' bytes
  OffsetSet visitedNodes_;
  // Data offsets stored by earlier entries; an entry that stored none keeps offset 0.
  OffsetSet storedDataOffsets_;
  bool earlierEntryHasZero_ = false;
  // Block starts of every record in the table, built when the first loose record is examined.
  OffsetSet blockStarts_;
  bool blockStartsBuilt_ = false;
  ChainWalk chain_{ChainWalk::Lengths::asStored};  // every message's walk, its buffers reused
  uint64_t blocksWalked_ = 0;  // over all chains, held to blockBudgetFor
};

void IndexBrowser::walkIndexNode(uint32_t parent, uint32_t node, int64_t base, int64_t expected, int depth) {
  if (base + expected > scratch_.expectedCount)
    failFormat(node, "index node counts more messages than the header");
  if (depth > kMaxIndexDepth) failFormat(node, "index nested deeper than any real base");
  // The node checks admit a parent that lists the same child twice; walking it twice would
  // count its messages twice, and a chain of such nodes would take exponential time.
  if (!visitedNodes_.insert(node)) failFormat(node, "index node reached twice");
  checkReadingBound(node);

  uint8_t header[kNodeHeaderSize];
  if (!file_.readExact(node, header, sizeof header)) failFormat(node, "index node cannot be read");
  const ByteView view(header, sizeof header);
  if (view.u32(kNodeSelf) != node) failFormat(node, "index node does not carry its own offset");
  if (view.u32(kNodeParent) != parent) failFormat(node, "index node names another parent");
  const uint32_t entryCount = view.u8(kNodeEntryCount);
  if (entryCount > kMaxNodeEntries) failFormat(node, "index node holds more than 51 entries");
  uint8_t entries[kMaxNodeEntries * kIndexEntrySize];
  if (!file_.readExact(node + kNodeHeaderSize, entries, entryCount * kIndexEntrySize))
    failFormat(node, "index node entries cannot be read");

  int64_t running = 0;
  const uint32_t leftChild = view.u32(kNodeLeftChild);
  if (leftChild != 0) {
    const int64_t leftCount = view.u32(kNodeLeftCount);
    walkIndexNode(node, leftChild, base, leftCount, depth + 1);
    running += leftCount;
  }
  const ByteView entryView(entries, entryCount * kIndexEntrySize);
  for (uint32_t e = 0; e < entryCount; ++e) {
    const size_t at = e * kIndexEntrySize;
    const uint32_t record = entryView.u32(at + kEntryRecord);
    if (record != 0) {
      running += 1;
      const int64_t index = base + running;
      if (index > scratch_.expectedCount) failFormat(node, "index holds more messages than the header");
      // Grown as entries are found, not to the header's count: a damaged header may claim a
      // million messages in a file of a few kilobytes.
      std::vector<IndexEntry>& entries = scratch_.indexEntries;
      const auto position = static_cast<size_t>(index - 1);
      if (position >= entries.size())
        entries.resize(std::min(static_cast<size_t>(scratch_.expectedCount), std::max(position + 1, 2 * entries.size())));
      entries[position] = IndexEntry{record, 0};
      scratch_.indexFound += 1;
    }
    const uint32_t child = entryView.u32(at + kEntryChild);
    if (child != 0) {
      const int64_t childCount = entryView.u32(at + kEntryChildCount);
      walkIndexNode(node, child, base + running, childCount, depth + 1);
      running += childCount;
    }
  }
  if (running != expected) failFormat(node, "index subtree holds another number of messages than counted");
}

void IndexBrowser::scanChainTable() {
  OffsetSet seen;
  size_t looseRecords = 0;
  for (uint32_t slot = kChainTableFirstSlot; slot <= kChainTableLastSlot; slot += 4) {
    uint8_t word[4];
    if (!file_.readExact(slot, word, sizeof word)) return;
    uint32_t record = ByteView(word, 4).u32(0);
    while (record != 0) {
      uint8_t header[kLooseHeaderSize];
      if (!file_.readExact(record, header, sizeof header)) break;
      // A chain that comes back to a record already seen loops; it ends there.
      if (!seen.insert(record)) break;
      if (++looseRecords > kMaxLooseRecords) return;
      checkReadingBound(record);
      // indexCapacity keeps its steps of 500; the vector underneath grows geometrically.
      if (scratch_.indexEntries.size() >= static_cast<size_t>(scratch_.indexCapacity))
        scratch_.indexCapacity += kIndexEntryStep;
      scratch_.indexEntries.push_back(IndexEntry{record, 0});
      record = ByteView(header, sizeof header).u32(kLooseNext);
    }
  }
}

bool IndexBrowser::findDataOffset(uint32_t recordOffset, bool loose, uint32_t& dataOffset) {
  const uint32_t headerSize = loose ? kLooseHeaderSize : kInfoHeaderSize;
  int attributes = 0;
  uint64_t dataArea = 0;
  {
    // The header is looked at in place, and only until the next read may move the window.
    uint8_t copy[kLooseHeaderSize];
    const uint8_t* header = file_.view(recordOffset, headerSize);
    if (!header) {
      if (!file_.readExact(recordOffset, copy, headerSize)) return false;
      header = copy;
    }
    const ByteView view(header, headerSize);
    attributes = loose ? static_cast<int>(kLooseAttributeCount) : view.i8(kInfoAttributeCount);
    dataArea = uint64_t{view.u32(kInfoSelf)} + kInfoHeaderSize + uint64_t{kAttributeSize} * static_cast<uint64_t>(attributes > 0 ? attributes : 0);
  }
  for (int a = 0; a < attributes; ++a) {
    uint8_t entry[kAttributeSize];
    if (!file_.readExact(recordOffset + headerSize + static_cast<uint32_t>(a) * kAttributeSize, entry, sizeof entry))
      return false;
    const ByteView attribute(entry, sizeof entry);
    if ((attribute.u8(0) & kAttributeIdMask) != kAttributeDataOffset) continue;
    if (attribute.u8(0) & kAttributeDirect) {
      dataOffset = attribute.u24(1);
      return true;
    }
    if (loose) continue;  // loose records only carry direct values
    const uint64_t at = dataArea + attribute.u24(1);
    uint8_t word[4];
    if (!reachable(at) || !file_.readExact(static_cast<uint32_t>(at), word, sizeof word)) return false;
    dataOffset = ByteView(word, 4).u32(0);
    return true;
  }
  return false;
}

bool IndexBrowser::alreadyListed(uint32_t dataOffset, bool loose) {
  if (dataOffset == 0 ? earlierEntryHasZero_ : storedDataOffsets_.contains(dataOffset)) return true;
  if (!loose) return false;
  if (!blockStartsBuilt_) {
    for (const BlockRef& block : table_.blocks) blockStarts_.insert(block.offset);
    blockStartsBuilt_ = true;
  }
  return blockStarts_.contains(dataOffset + kBlockHeaderSize);
}

void IndexBrowser::noteStoredDataOffset(uint32_t dataOffset) {
  if (dataOffset == 0) earlierEntryHasZero_ = true;
  else storedDataOffsets_.insert(dataOffset);
}

// Copies a block's bytes as the message reading would (see readMessageStart): up to the buffer's
// size, stopping once past the parse limit, and a block the file does not hold fails the record.
void IndexBrowser::assembleBlock(const BlockRef& block, Assembly& assembly) {
  if (assembly.done) return;
  const size_t take = std::min<size_t>(static_cast<size_t>(block.length), kReadBufferSize - assembly.filled);
  uint8_t* start = assemblyRoom(assembly.filled, take);
  const uint64_t before = file_.bytesRead();
  const bool read = file_.readExact(block.offset, start + assembly.filled, take);
  assembledBytes_ += file_.bytesRead() - before;
  assembly.filled += take;
  if (!read) assembly.failed = true;
  assembly.done = !read || assembly.filled > static_cast<size_t>(kParseLimit) || assembly.filled == kReadBufferSize;
}

void IndexBrowser::readMessageInfo(size_t i, bool loose) {
  IndexEntry& entry = scratch_.indexEntries[i];
  uint32_t dataOffset = 0;
  if (!findDataOffset(entry.recordOffset, loose, dataOffset) || alreadyListed(dataOffset, loose)) {
    earlierEntryHasZero_ = true;  // this entry keeps data offset 0
    return;
  }
  entry.dataOffset = dataOffset;
  noteStoredDataOffset(dataOffset);

  BlockHeader block;
  if (!blockHeader(dataOffset, block)) failFormat(dataOffset, "first data block of a message cannot be read");
  if (block.self != dataOffset) return;

  MessageRecord record;
  record.deleted = loose || block.sizeField == kDeletedBlockSize;
  ChainWalk& chain = chain_;
  chain.restart(loose ? ChainWalk::Lengths::capped : ChainWalk::Lengths::asStored);
  uint32_t at = dataOffset;
  const uint64_t blockBudget = blockBudgetFor(file_.size());
  Assembly assembly;
  bool walking = true;
  // A chain recovery has followed already is taken whole: its blocks are distinct and each links
  // to the next, so the walk would take them one by one. The reading bound and the block budget
  // only grow, so checking them after the run decides as checking after every block did.
  if (const BlockSpan known = pipeline_ ? BlockSpan{} : headers_.knownChainAt(dataOffset); !known.empty()) {
    const size_t taken = chain.takeRun(known.data(), known.size());
    walking = false;
    if (taken > 0) {
      headers_.passOver(taken - 1);
      blocksWalked_ += taken;
      if (blocksWalked_ > blockBudget) failFormat(dataOffset, "message chains share their blocks");
      checkReadingBound(dataOffset);
      block = headers_.current();
      if (taken < known.size()) {
        headers_.passOver(1);  // the walk read the header of the block it could not take
      } else if (block.next != 0 && !chain.seen(block.next)) {
        at = block.next;
        if (!headers_.header(at, block)) failFormat(at, "a data block of a message cannot be reached");
        walking = true;
      }
    }
  }
  while (walking && chain.take(at, block)) {
    if (++blocksWalked_ > blockBudget) failFormat(at, "message chains share their blocks");
    checkReadingBound(at);
    if (pipeline_ || parseHere_) assembleBlock(chain.blocks().back(), assembly);
    if (block.next == 0 || chain.seen(block.next)) break;
    at = block.next;
    if (!blockHeader(at, block)) failFormat(at, "a data block of a message cannot be reached");
  }
  record.size = chain.size();
  record.invalid = true;
  if (record.size > 0 && record.size < kMaxMessageSize) messageBytes_ += std::min(record.size, kReadBufferSize);
  checkReadingBound(dataOffset);
  if (blockStartsBuilt_)
    for (const BlockRef& ref : chain.blocks()) blockStarts_.insert(ref.offset);
  const bool readable = record.size > 0 && record.size < kMaxMessageSize;
  const int limit = std::min(record.size, kParseLimit);
  if (pipeline_ && table_.records.size() == table_.records.capacity()) pipeline_->quiesce();
  const int recordIndex = table_.count();
  table_.addRecord(std::move(record), chain.blocks());
  if ((pipeline_ || parseHere_) && readable && !assembly.failed && assembly.filled >= static_cast<size_t>(limit))
    parseAssembled(recordIndex, limit);
}

uint8_t* IndexBrowser::assemblyRoom(size_t filled, size_t more) {
  if (pipeline_) return pipeline_->room(filled, more);
  if (filled + more > assembledCapacity_) {
    const size_t capacity = std::max(filled + more, 2 * assembledCapacity_);
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    if (filled > 0) std::memcpy(bytes.get(), assembled_.get(), filled);
    assembled_ = std::move(bytes);
    assembledCapacity_ = capacity;
  }
  return assembled_.get();
}

void IndexBrowser::parseAssembled(int recordIndex, int length) {
  if (pipeline_) {
    pipeline_->commit(recordIndex, length);
    return;
  }
  MessageRecord& record = table_.records[static_cast<size_t>(recordIndex)];
  if ((*parseHere_)(reinterpret_cast<const char*>(assembled_.get()), length, record) == 0)
    record.clearTexts();
  else
    record.invalid = false;
}

// The file header, the index under it and the chain table's records after it, into scratch;
// returns how many entries the index gave.
size_t readIndex(BaseFile& file, IndexBrowser& browser, IndexScratch& scratch) {
  const FileHeader header = readFileHeader(file);
  if (!header.messageCount) failFormat(kMessageCountOffset, "file header cannot be read");
  if (!header.rootNode) failFormat(kRootNodeOffset, "file header cannot be read");
  const int32_t messageCount = *header.messageCount;
  const uint32_t root = *header.rootNode;
  if (messageCount < 0 || messageCount > kMaxHeaderMessageCount)
    failFormat(kMessageCountOffset, "message count out of range");

  scratch.indexCapacity = messageCount + 1;
  scratch.indexEntries.reserve(std::min<size_t>(static_cast<size_t>(messageCount), 1024));
  scratch.expectedCount = messageCount;
  scratch.indexFound = 0;

  if (messageCount != 0 || root != 0) browser.walkIndexNode(0, root, 0, messageCount, 0);
  const size_t fromIndex = static_cast<size_t>(scratch.indexFound);
  scratch.indexEntries.resize(fromIndex);
  browser.scanChainTable();
  return fromIndex;
}

// Records a file of this size can hold: room reserved so that filling a table does not move it.
size_t recordRoomFor(uint64_t fileSize) { return fileSize / (kBlockHeaderSize + kNormalBlockSize) + 1; }

// The index, the chain table and every message's chain; false when a stop was requested.
bool walkBase(BaseFile& file, MessageTable& table, const OperationControl& control, HeaderPipeline* pipeline,
              const KnownChains* known) {
  // The chains of a sound base run forward through the file: let the kernel read ahead further.
  if (!known) file.adviseSequential();
  IndexScratch scratch;
  IndexBrowser browser(table, scratch, file, pipeline, known);
  const size_t fromIndex = readIndex(file, browser, scratch);

  const size_t total = scratch.indexEntries.size();
  // Room for the records a file of this size can hold, so parses rarely wait for the table to move
  // and the walk does not move the records it made.
  table.reserveRoom(std::min<size_t>(total, recordRoomFor(file.size())), recordRoomFor(file.size()));
  ProgressSink& progress = control.bar();
  progress.setRange(static_cast<uint32_t>(3 * total / 2));
  progress.setStep(1);
  progress.setPos(0);  // the index is read; the messages' chains and bytes follow
  for (size_t i = 0; i < total; ++i) {
    if (!BaseFile::reachable(scratch.indexEntries[i].recordOffset)) {
      browser.skipEntry();
      continue;
    }
    browser.readMessageInfo(i, i >= fromIndex);
    if (control.stopRequested()) return false;
    progress.stepIt();
  }
  return true;
}

// A browse that parses as it walks spends most of its time parsing, and handing each message's
// bytes to another thread costs more than the parse: the copy lands in this core's cache and the
// parser's core then fetches it again. So a large sound base is walked in parts, one stretch of
// the index per thread, each thread reading its own messages with its own file handle and
// parsing them while their bytes are still in its cache. The parts' tables are joined in index
// order afterwards.
//
// A part only keeps the walk's answer where the walk in one go would give the same: it ends at the
// first entry that makes no record (skipped, unreadable, or already listed), at any failure, and
// the joined result must list no data offset twice and stay inside the block budget and the
// reading bound counted over all parts. Anything else is left to the walk in one go, from the start.
constexpr uint64_t kMinFileForParts = 4 << 20;
constexpr size_t kMinEntriesPerPart = 1000;
constexpr unsigned kMaxParts = 4;
// How often the first part moves the bar, in entries.
constexpr size_t kPartProgressStep = 256;

enum class PartsEnd { whole, stopped, irregular };

struct BrowsePart {
  BrowsePart(MessageTable& into, IndexScratch& scratch, BaseFile& file)
      : table(into), browser(into, scratch, file, nullptr, nullptr) {}
  MessageTable& table;
  IndexBrowser browser;
  size_t first = 0;
  size_t last = 0;
  bool whole = false;
  bool stopped = false;
  std::vector<uint32_t> dataOffsets;  // sorted
};

// Part of the walk as its own thread may run it: every entry from first to last, or until one
// makes no record, a stop or a quit.
void walkPart(BrowsePart& part, const IndexScratch& scratch, const OperationControl& control,
              std::atomic<size_t>& walked, std::atomic<bool>& quit, ProgressSink* progress) {
  try {
    for (size_t i = part.first; i < part.last; ++i) {
      if (quit.load(std::memory_order_relaxed)) return;
      if (!BaseFile::reachable(scratch.indexEntries[i].recordOffset)) return;
      const int before = part.table.count();
      part.browser.readMessageInfo(i, false);
      if (part.table.count() == before) return;
      const size_t done = walked.fetch_add(1, std::memory_order_relaxed) + 1;
      if (control.stopRequested()) {
        part.stopped = true;
        return;
      }
      if (progress && done % kPartProgressStep == 0) progress->setPos(static_cast<uint32_t>(done));
    }
    part.dataOffsets.reserve(part.last - part.first);
    for (size_t i = part.first; i < part.last; ++i) part.dataOffsets.push_back(scratch.indexEntries[i].dataOffset);
    std::sort(part.dataOffsets.begin(), part.dataOffsets.end());
    part.whole = true;
  } catch (...) {
    // Left to the walk in one go, which reports it as it always has.
  }
}

bool sharesAnOffset(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  auto x = a.begin();
  auto y = b.begin();
  while (x != a.end() && y != b.end()) {
    if (*x == *y) return true;
    if (*x < *y) ++x;
    else ++y;
  }
  return false;
}

unsigned partCountFor(uint64_t fileSize, size_t entries) {
  if (fileSize < kMinFileForParts) return 1;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<size_t>({cores, kMaxParts, entries / kMinEntriesPerPart}));
}

// Walks the base in parts into table; `fetched` and `read` get what every part's file gave.
PartsEnd walkInParts(BaseFile& file, MessageTable& table, const OperationControl& control, const RecordParser& parse,
                     uint64_t& read, uint64_t& fetched) {
  file.adviseSequential();
  IndexScratch scratch;
  std::vector<std::unique_ptr<BaseFile>> files;
  std::vector<std::unique_ptr<MessageTable>> tables;
  std::vector<std::unique_ptr<BrowsePart>> parts;
  const auto countReading = [&] {
    read = file.bytesRead();
    fetched = file.bytesFetched();
    for (const auto& other : files) {
      read += other->bytesRead();
      fetched += other->bytesFetched();
    }
  };
  parts.push_back(std::make_unique<BrowsePart>(table, scratch, file));
  size_t total = 0;
  try {
    total = readIndex(file, parts[0]->browser, scratch);
  } catch (...) {
    countReading();
    return PartsEnd::irregular;
  }
  const unsigned count = scratch.indexEntries.size() == total ? partCountFor(file.size(), total) : 1;
  if (count < 2) {
    countReading();
    return PartsEnd::irregular;
  }
  for (unsigned p = 1; p < count; ++p) {
    files.push_back(std::make_unique<BaseFile>());
    if (!files.back()->openAgain(file)) {
      files.pop_back();
      break;
    }
    files.back()->adviseSequential();
    tables.push_back(std::make_unique<MessageTable>());
    parts.push_back(std::make_unique<BrowsePart>(*tables.back(), scratch, *files.back()));
  }
  if (parts.size() < 2) {
    countReading();
    return PartsEnd::irregular;
  }
  for (size_t p = 0; p < parts.size(); ++p) {
    BrowsePart& part = *parts[p];
    part.first = total * p / parts.size();
    part.last = total * (p + 1) / parts.size();
    // The first part's table is the browse's own, which takes every part's records at the end.
    if (p == 0) part.table.reserveRoom(std::min(total, recordRoomFor(file.size())), recordRoomFor(file.size()));
    else part.table.reserveRoom(part.last - part.first, recordRoomFor(file.size()) / parts.size() + 1);
    part.browser.parseAsWalked(parse);
  }

  ProgressSink& progress = control.bar();
  progress.setRange(static_cast<uint32_t>(total));
  progress.setStep(1);
  progress.setPos(0);
  std::atomic<size_t> walked{0};
  std::atomic<bool> quit{false};
  const std::thread::id caller = std::this_thread::get_id();
  runOnThreads(parts.size(), [&](size_t p) {
    // Only the calling thread moves the bar.
    walkPart(*parts[p], scratch, control, walked, quit, std::this_thread::get_id() == caller ? &progress : nullptr);
    // A stop is seen by every part after its entry, as by a walk in one go: quitting on it too
    // could end the first part before its first entry.
    if (!parts[p]->whole && !parts[p]->stopped) quit.store(true);
  });
  countReading();

  bool stopped = false;
  bool whole = true;
  uint64_t blocks = 0;
  uint64_t reading = 0;
  for (const auto& part : parts) {
    stopped = stopped || part->stopped;
    whole = whole && part->whole;
    blocks += part->browser.blocksWalked();
    reading += part->browser.readingDone();
  }
  if (stopped) {
    // As a walk in one go stopped here would: the records of the entries walked before the stop,
    // none of them parsed. The first part's are such a run.
    forgetParses(table);
    return PartsEnd::stopped;
  }
  if (!whole || blocks > blockBudgetFor(file.size()) || reading > browseReadingBound(file.size()))
    return PartsEnd::irregular;
  for (size_t a = 0; a < parts.size(); ++a)
    for (size_t b = a + 1; b < parts.size(); ++b)
      if (sharesAnOffset(parts[a]->dataOffsets, parts[b]->dataOffsets)) return PartsEnd::irregular;
  for (auto& part : tables) table.appendTable(std::move(*part));
  numberValidRecords(table);
  progress.setPos(static_cast<uint32_t>(total));
  return PartsEnd::whole;
}

}  // namespace

uint64_t browseReadingBound(uint64_t fileSize) { return 4 * fileSize + (uint64_t{1} << 20); }

namespace {

BrowseResult browse(const std::string& path, MessageTable& table, const OperationControl& control,
                    const HeaderParser* parse, const RecordParser* parseRecord, const KnownChains* known) {
  BrowseResult result;
  BaseFile file;
  uint64_t partsRead = 0;
  uint64_t partsFetched = 0;
  bool walkedAgain = true;
  HeaderParser byIndex;
  result.outcome = runInFailureBoundary([&] {
    if (!file.open(path)) failCannotOpen(file.error());
    if (parseRecord) {
      const int capacity = table.capacity;
      const int validCount = table.validCount;
      const PartsEnd end = walkInParts(file, table, control, *parseRecord, partsRead, partsFetched);
      if (end != PartsEnd::irregular) {
        walkedAgain = false;
        result.browseFailed = false;
        if (end == PartsEnd::stopped) failStopped();
        return;
      }
      // Walked again in one go, from the start, on a file whose reading counts from zero.
      table.clearTable();
      table.capacity = capacity;
      table.validCount = validCount;
      if (!file.open(path)) failCannotOpen(file.error());
      byIndex = [parseRecord, &table](const char* text, int length, int recordIndex) {
        return (*parseRecord)(text, length, table.records[static_cast<size_t>(recordIndex)]);
      };
      parse = &byIndex;
    }
    std::optional<HeaderPipeline> pipeline;
    if (parse) pipeline.emplace(table, *parse, file.size());
    bool walked = false;
    try {
      walked = walkBase(file, table, control, pipeline ? &*pipeline : nullptr, known);
    } catch (...) {
      // A browse that ends early leaves no record parsed, as when the reading came after it.
      if (pipeline) pipeline->abandon();
      throw;
    }
    result.browseFailed = false;
    if (!walked) {
      if (pipeline) pipeline->abandon();
      failStopped();
    }
    if (pipeline) {
      ProgressSink& progress = control.bar();
      const auto count = static_cast<uint32_t>(table.count());
      progress.setRange(3 * count);
      progress.setPos(2 * count);
      const bool complete = pipeline->finish(control);
      progress.setPos(3 * count);
      if (!complete) failStopped();
    }
  });
  result.outcome.bytesRead = partsRead + (walkedAgain ? file.bytesRead() : 0);
  result.outcome.bytesFetched = partsFetched + (walkedAgain ? file.bytesFetched() : 0);
  return result;
}

}  // namespace

BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const HeaderParser* parse) {
  return browse(path, table, control, parse, nullptr, nullptr);
}

BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const RecordParser& parse) {
  return browse(path, table, control, nullptr, &parse, nullptr);
}

BrowseResult browseIndex(const std::string& path, MessageTable& table, const OperationControl& control,
                         const KnownChains& known) {
  return browse(path, table, control, nullptr, nullptr, &known);
}

}  // namespace vireo::dbx

#include "dbx/chain_assembly.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::dbx {
namespace {

// Chains still being put together hold at most this much; a chain that would pass it is left to
// the reading after joining.
constexpr size_t kMaxBytesHeld = 64 * 1024 * 1024;
// The tail of a chunk kept for the blocks that run into the next one: more than a block's header
// and data.
constexpr size_t kCarry = 1024;
// A chain's buffer is kept for the next chain unless a large message made it larger than this.
constexpr size_t kKeptCapacity = 256 * 1024;

bool usedInRange(int32_t used) { return used > 0 && used <= kBlockUsedMax; }
int16_t blockLength(int32_t used) { return static_cast<int16_t>(std::min(used, kBlockDataMax)); }

}  // namespace

ChainAssembly::ChainAssembly(const RecordParser& parse, uint64_t fileSize, bool parseHere) : parse_(parse) {
  scratchParse_ = [this](const char* text, int length, int index) {
    return parse_(text, length, scratch_.records[static_cast<size_t>(index)]);
  };
  // Room for a message every few blocks, so that the records rarely move (untouched room costs
  // no memory); past it they grow as any vector does.
  const auto room = static_cast<size_t>(std::min<uint64_t>(fileSize / 4096 + 16, 1u << 22));
  scratch_.records.reserve(room);
  held_.reserve(room);
  starts_.reserve(room);
  pipeline_ = std::make_unique<HeaderPipeline>(scratch_, scratchParse_, fileSize, !parseHere);
}

void ChainAssembly::absorb(ChainAssembly& later) {
  chainStarts_ += later.chainStarts_;
  linkedBack_ += later.linkedBack_;
  if (!enabled_ || !later.enabled_) {
    disable();
    return;
  }
  const auto offset = static_cast<uint32_t>(scratch_.records.size());
  try {
    scratch_.records.reserve(scratch_.records.size() + later.scratch_.records.size());
    held_.reserve(held_.size() + later.held_.size());
    starts_.reserve(starts_.size() + later.starts_.size());
  } catch (const std::bad_alloc&) {
    disable();  // the records read their bytes instead
    return;
  }
  for (MessageRecord& record : later.scratch_.records) scratch_.records.push_back(std::move(record));
  for (Held held : later.held_) {
    held.scratch += offset;
    held_.push_back(held);
  }
  starts_.insert(starts_.end(), later.starts_.begin(), later.starts_.end());
  later.disable();
}

// The workers end before the records they write go.
ChainAssembly::~ChainAssembly() { pipeline_.reset(); }

void ChainAssembly::disable() {
  enabled_ = false;
  chains_.clear();
  freeChains_.clear();
  direct_ = kNoChain;
  queued_.clear();
  bytesHeld_ = 0;
  waits_ = {};
  deferred_.clear();
  held_.clear();
  starts_.clear();
}

bool ChainAssembly::live(const Wait& wait) const {
  return wait.chain != kNoChain && chains_[wait.chain].open && chains_[wait.chain].generation == wait.generation;
}

uint32_t ChainAssembly::openChain() {
  uint32_t chain = 0;
  if (!freeChains_.empty()) {
    chain = freeChains_.back();
    freeChains_.pop_back();
  } else {
    chains_.emplace_back();
    chain = static_cast<uint32_t>(chains_.size() - 1);
  }
  Chain& c = chains_[chain];
  c.open = true;
  c.filled = 0;
  c.blockCount = 0;
  c.direct = direct_ == kNoChain;
  if (c.direct) direct_ = chain;
  return chain;
}

void ChainAssembly::release(uint32_t chain) {
  Chain& c = chains_[chain];
  bytesHeld_ -= c.filled;
  c.open = false;
  c.filled = 0;
  ++c.generation;
  c.blockCount = 0;
  if (c.bytes.capacity() > kKeptCapacity) std::vector<uint8_t>().swap(c.bytes);
  else c.bytes.clear();
  freeChains_.push_back(chain);
  if (c.direct) {
    c.direct = false;
    direct_ = kNoChain;
    handQueued();
  }
}

void ChainAssembly::drop(uint32_t chain) { release(chain); }

void ChainAssembly::append(uint32_t chain, uint32_t offset, int16_t length, const uint8_t* data) {
  Chain& c = chains_[chain];
  if (c.blockCount++ == 0) c.first = offset + kBlockHeaderSize;
  c.last = offset + kBlockHeaderSize;
  const auto size = static_cast<size_t>(length);
  if (c.direct) std::memcpy(pipeline_->room(c.filled, size) + c.filled, data, size);
  else c.bytes.insert(c.bytes.end(), data, data + length);
  c.filled += size;
  bytesHeld_ += size;
}

// The chain is whole (or past what its reading takes): its first bytes go to the parse, once the
// chain being put together in the parse's batch is out of the way.
void ChainAssembly::complete(uint32_t chain) {
  Chain& c = chains_[chain];
  if (!c.direct && direct_ != kNoChain) {
    c.open = false;  // no block joins it any more
    queued_.push_back(chain);
    return;
  }
  hand(chain);
}

void ChainAssembly::hand(uint32_t chain) {
  Chain& c = chains_[chain];
  const int length = static_cast<int>(std::min<size_t>(c.filled, kParseLimit));
  // The records' array may move only while no parse writes into it.
  if (scratch_.records.size() == scratch_.records.capacity()) pipeline_->quiesce();
  scratch_.records.emplace_back();
  const auto index = static_cast<uint32_t>(scratch_.records.size() - 1);
  if (!c.direct) std::memcpy(pipeline_->room(0, static_cast<size_t>(length)), c.bytes.data(), static_cast<size_t>(length));
  held_.push_back(Held{c.first, c.last, c.blockCount, length, index});
  pipeline_->commit(static_cast<int>(index), length);
  release(chain);
}

void ChainAssembly::handQueued() {
  // Taken out first: handing one over may hand the others over.
  std::vector<uint32_t> waiting;
  waiting.swap(queued_);
  for (const uint32_t chain : waiting) hand(chain);
}

// Follows what joining does with the block at offset: a chain runs on through blocks whose used
// count is in range, by their next links, and a block that no passed block links to starts one.
// Only chains whose links all run forward are assembled; the rest are left to the reading.
void ChainAssembly::process(const CandidateArray& candidates, uint32_t offset, const uint8_t* bytes, uint64_t base,
                            uint64_t available) {
  // Links to offsets the scan has passed without finding a block there: those chains end.
  while (!waits_.empty() && waits_.top().offset < offset) {
    const Wait wait = waits_.top();
    waits_.pop();
    if (live(wait)) complete(wait.chain);
  }
  size_t links = 0;
  uint32_t owner = kNoChain;
  while (!waits_.empty() && waits_.top().offset == offset) {
    const Wait wait = waits_.top();
    waits_.pop();
    ++links;
    if (!live(wait)) continue;
    if (owner != kNoChain) drop(owner);
    owner = wait.chain;
  }
  // Two blocks linking to one: which chain takes it depends on the joining's order.
  if (links > 1 && owner != kNoChain) {
    drop(owner);
    owner = kNoChain;
  }

  const ByteView view(bytes, static_cast<size_t>(available));
  const auto at = static_cast<size_t>(offset - base);
  if (!view.has(at, kBlockHeaderSize)) {
    // The file ends inside the header: a chain ends before it and it starts none.
    if (owner != kNoChain) complete(owner);
    return;
  }
  const int32_t used = view.i32(at + kBlockUsed);
  const uint32_t next = view.u32(at + kBlockNext);
  if (!usedInRange(used)) {
    if (owner != kNoChain) complete(owner);
    return;
  }
  if (links == 0) {
    ++chainStarts_;
    const auto length = static_cast<size_t>(blockLength(used));
    const size_t looked = std::min(kFirstBytesLooked, length);
    if (view.has(at + kBlockHeaderSize, looked)) {
      const uint32_t sizeField = view.u32(at + kBlockSizeField);
      starts_.push_back(SeenRecordEnds::Start{
          offset + kBlockHeaderSize, static_cast<int16_t>(length),
          sizeField == kNormalBlockSize || sizeField == kDeletedBlockSize,
          beginsWithHeaderField(view.span(at + kBlockHeaderSize, looked).data(), looked)});
    }
    if (enabled_) owner = openChain();
  }
  if (owner != kNoChain) {
    const int16_t length = blockLength(used);
    if (!view.has(at + kBlockHeaderSize, static_cast<size_t>(length)) ||
        bytesHeld_ + static_cast<size_t>(length) > kMaxBytesHeld) {
      drop(owner);
      owner = kNoChain;
    } else {
      append(owner, offset, length, view.span(at + kBlockHeaderSize, static_cast<size_t>(length)).data());
      if (chains_[owner].filled > static_cast<size_t>(kParseLimit)) {
        // What follows is never read for the headers; the blocks still link on, so they start
        // no chain of their own.
        complete(owner);
        owner = kNoChain;
      }
    }
  }
  if (next == 0 || !reachable(next) || next == offset) {
    if (owner != kNoChain) complete(owner);
    return;
  }
  if (next > offset) {
    waits_.push(Wait{next, owner, owner == kNoChain ? 0 : chains_[owner].generation});
    return;
  }
  // A link backwards: to a block joining may take, or nowhere (the chain ends).
  if (owner == kNoChain) return;
  if (findCandidate(candidates, next) >= 0) {
    drop(owner);
    ++linkedBack_;
  } else {
    complete(owner);
  }
}

void ChainAssembly::processDeferred(const CandidateArray& candidates, const uint8_t* bytes, uint64_t base,
                                    uint64_t available) {
  for (const uint32_t offset : deferred_) process(candidates, offset, bytes, base, available);
  deferred_.clear();
}

void ChainAssembly::beginChunk(const CandidateArray& candidates, const uint8_t* bytes, size_t length,
                               uint64_t start) {
  chunk_ = bytes;
  chunkLength_ = length;
  chunkStart_ = start;
  if (!enabled_ || deferred_.empty()) return;
  try {
    // The blocks that ran past the last chunk: its tail joined to this chunk's head.
    stitch_.assign(carry_.begin(), carry_.end());
    const uint64_t carryEnd = carryStart_ + carry_.size();
    if (start <= carryEnd && start + length > carryEnd) {
      const auto from = static_cast<size_t>(carryEnd - start);
      const size_t take = std::min(kCarry, length - from);
      const std::span<const uint8_t> head = ByteView(bytes, length).span(from, take);
      stitch_.insert(stitch_.end(), head.begin(), head.end());
    }
    processDeferred(candidates, stitch_.data(), carryStart_, stitch_.size());
  } catch (const std::bad_alloc&) {
    disable();
  }
}

void ChainAssembly::candidate(const CandidateArray& candidates, uint32_t offset) {
  if (!enabled_) return;
  try {
    // Once one block runs past the chunk, every later one waits too, so they are taken in order.
    if (deferred_.empty()) {
      const ByteView view(chunk_, chunkLength_);
      const auto at = static_cast<size_t>(offset - chunkStart_);
      if (view.has(at, kBlockHeaderSize)) {
        const int32_t used = view.i32(at + kBlockUsed);
        const size_t length = usedInRange(used) ? static_cast<size_t>(blockLength(used)) : 0;
        if (view.has(at + kBlockHeaderSize, length)) {
          process(candidates, offset, chunk_, chunkStart_, chunkLength_);
          return;
        }
      }
    }
    deferred_.push_back(offset);
  } catch (const std::bad_alloc&) {
    disable();
  }
}

void ChainAssembly::endChunk() {
  if (!enabled_) return;
  try {
    const size_t keep = std::min(kCarry, chunkLength_);
    const std::span<const uint8_t> tail = ByteView(chunk_, chunkLength_).span(chunkLength_ - keep, keep);
    carry_.assign(tail.begin(), tail.end());
    carryStart_ = chunkStart_ + chunkLength_ - keep;
  } catch (const std::bad_alloc&) {
    disable();
  }
  chunk_ = nullptr;
}

void ChainAssembly::endScan(const CandidateArray& candidates) {
  if (!enabled_) return;
  try {
    processDeferred(candidates, carry_.data(), carryStart_, carry_.size());
    // No block lies past the scan, so every link still waiting finds none.
    while (!waits_.empty()) {
      const Wait wait = waits_.top();
      waits_.pop();
      if (live(wait)) complete(wait.chain);
    }
  } catch (const std::bad_alloc&) {
    disable();
  }
}

bool ChainAssembly::finish(const OperationControl& control) {
  try {
    if (!pipeline_->finish(control)) return false;
  } catch (...) {
    // A parse that failed is left to the reading, which meets the same failure there.
    held_.clear();
  }
  return true;
}

std::vector<SeenRecordEnds::Start> ChainAssembly::takeStarts() {
  std::vector<SeenRecordEnds::Start> starts;
  starts.swap(starts_);
  return starts;
}

void ChainAssembly::takeParses(MessageTable& table, std::vector<uint8_t>& taken) {
  taken.assign(table.records.size(), 0);
  if (!enabled_ || held_.empty()) return;
  auto byFirst = [](const Held& a, const Held& b) { return a.first < b.first; };
  // Chains are handed over as they end, mostly in the order they start: then already sorted.
  if (!std::is_sorted(held_.begin(), held_.end(), byFirst)) std::sort(held_.begin(), held_.end(), byFirst);
  // Records come mostly in the order of their first blocks too: the chain after the last one
  // found is tried before a search.
  auto next = held_.begin();
  for (size_t i = 0; i < table.records.size(); ++i) {
    MessageRecord& record = table.records[i];
    const BlockSpan entries = table.blocksOf(i);
    if (record.size <= 0 || record.size >= kMaxMessageSize || entries.empty()) continue;
    const uint32_t first = entries.front().offset;
    auto found = next != held_.end() && next->first == first
                     ? next
                     : std::lower_bound(held_.begin(), held_.end(), first,
                                        [](const Held& h, uint32_t offset) { return h.first < offset; });
    if (found == held_.end() || found->first != first) continue;
    next = found + 1;
    // The blocks the reading would take: until it holds more than the parse length. The record's
    // list and the chain both follow the links from the same first block, so the same number of
    // blocks are the same blocks.
    const int limit = std::min(record.size, kParseLimit);
    if (found->length != limit) continue;
    size_t count = 0;
    int64_t filled = 0;
    while (count < entries.size() && filled <= limit) filled += entries[count++].length;
    if (count != found->blockCount || entries[count - 1].offset != found->last) continue;
    // What the reading would leave in the record.
    MessageRecord& parsed = scratch_.records[found->scratch];
    parsed.moveTextsTo(record);
    record.time = parsed.time;
    record.codePage = parsed.codePage;
    record.attachment = parsed.attachment;
    record.invalid = parsed.invalid;
    taken[i] = 1;
  }
}

}  // namespace vireo::dbx

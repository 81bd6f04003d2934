#pragma once
// Recovery's scan feeding the header parse: as the scan passes each block, the chains that run
// forward through the file are put together from the chunk it has just read, and each whole
// chain's first bytes are parsed on worker threads into a record of its own. Joining later
// decides what the messages are; a record whose blocks (as far as its reading goes) are exactly
// those of a parsed chain takes that parse instead of reading the file again. Whatever this
// guesses wrongly (a chain that joining makes longer, shorter or part of another) is only a parse
// that no record takes: the records then read their bytes as before.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <queue>
#include <vector>

#include "dbx/header_pipeline.h"
#include "dbx/message_reading.h"
#include "dbx/operation.h"
#include "dbx/scan_candidates.h"
#include "dbx/seen_record_ends.h"
#include "table/message_table.h"

namespace vireo::dbx {

class ChainAssembly {
 public:
  // With parseHere, chains are parsed on the scanning thread itself (a scan made in parts).
  ChainAssembly(const RecordParser& parse, uint64_t fileSize, bool parseHere = false);
  ~ChainAssembly();
  ChainAssembly(const ChainAssembly&) = delete;
  ChainAssembly& operator=(const ChainAssembly&) = delete;

  // The scan's side, in file order. A chunk's bytes are valid from beginChunk to endChunk.
  void beginChunk(const CandidateArray& candidates, const uint8_t* bytes, size_t length, uint64_t start);
  // Every candidate, in ascending order, right after it is appended to candidates.
  void candidate(const CandidateArray& candidates, uint32_t offset);
  void endChunk();
  // The scan has ended: the chains still open end where it ended.
  void endScan(const CandidateArray& candidates);

  // Waits for the parses; false when a stop was requested meanwhile.
  [[nodiscard]] bool finish(const OperationControl& control);

  // After joining: gives every record whose reading would parse exactly the bytes of a parsed
  // chain that parse, as reading it would have; marks it in taken (one entry per record).
  void takeParses(MessageTable& table, std::vector<uint8_t>& taken);

  // Takes what the assembly of the next stretch of the file assembled and parsed; both have
  // finished. Chains that crossed from one stretch into the next were cut there: such a parse
  // is one no record takes, and that record reads its bytes as any other.
  void absorb(ChainAssembly& later);

  // What was assembled and parsed, for measuring.
  size_t parsedChains() const { return held_.size(); }
  // About the records joining will make: the chains the scan saw start, less those that link
  // back to a block (joining puts them in front of another chain).
  size_t expectedRecords() const { return chainStarts_ - std::min(linkedBack_, chainStarts_); }
  // The first block of every chain started in the scan's view, for the marks; ascending.
  std::vector<SeenRecordEnds::Start> takeStarts();

 private:
  static constexpr uint32_t kNoChain = UINT32_MAX;
  // One chain at a time is put together in the parse's open batch itself; the others in bytes of
  // their own, and when they end while that one is still open they wait for it (queued).
  // Its blocks are not kept: a chain follows the links from its first block as joining does, so
  // a record that begins with the same block has the same blocks as far as both go.
  struct Chain {
    std::vector<uint8_t> bytes;
    uint32_t first = 0;  // the first block's data offset
    uint32_t last = 0;   // the last block's
    uint32_t blockCount = 0;
    size_t filled = 0;
    uint32_t generation = 0;
    bool open = false;
    bool direct = false;
  };
  // A link from a block already passed to an offset ahead: the chain waiting there, or kNoChain
  // when the block is in no chain being assembled (its link still makes that block no start).
  struct Wait {
    uint32_t offset = 0;
    uint32_t chain = kNoChain;
    uint32_t generation = 0;
    bool operator>(const Wait& other) const { return offset > other.offset; }
  };
  struct Held {
    uint32_t first = 0;  // the first block's data offset
    uint32_t last = 0;   // the last block's
    uint32_t blockCount = 0;
    int32_t length = 0;  // bytes parsed
    uint32_t scratch = 0;
  };

  // The block at offset whose header and data are in bytes (file offset `base` at bytes[0]).
  void process(const CandidateArray& candidates, uint32_t offset, const uint8_t* bytes, uint64_t base,
               uint64_t available);
  void processDeferred(const CandidateArray& candidates, const uint8_t* bytes, uint64_t base, uint64_t available);
  uint32_t openChain();
  void append(uint32_t chain, uint32_t offset, int16_t length, const uint8_t* data);
  void complete(uint32_t chain);
  void hand(uint32_t chain);
  void handQueued();
  void drop(uint32_t chain);
  void release(uint32_t chain);
  bool live(const Wait& wait) const;
  void disable();

  const RecordParser& parse_;
  MessageTable scratch_;
  HeaderParser scratchParse_;
  std::unique_ptr<HeaderPipeline> pipeline_;
  bool enabled_ = true;

  std::vector<Chain> chains_;
  std::vector<uint32_t> freeChains_;
  uint32_t direct_ = kNoChain;
  std::vector<uint32_t> queued_;
  size_t bytesHeld_ = 0;
  std::priority_queue<Wait, std::vector<Wait>, std::greater<>> waits_;

  // The scan's current chunk, the tail of the one before, and the candidates that could not be
  // seen whole in their chunk (processed in order once the next chunk is in).
  const uint8_t* chunk_ = nullptr;
  size_t chunkLength_ = 0;
  uint64_t chunkStart_ = 0;
  std::vector<uint8_t> carry_;
  uint64_t carryStart_ = 0;
  std::vector<uint8_t> stitch_;
  std::vector<uint32_t> deferred_;

  std::vector<Held> held_;
  size_t chainStarts_ = 0;
  size_t linkedBack_ = 0;
  std::vector<SeenRecordEnds::Start> starts_;
};

}  // namespace vireo::dbx

#include "dbx/recover_scan.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/candidate_scan.h"
#include "dbx/chain_assembly.h"
#include "dbx/data_block.h"
#include "dbx/failure_boundary.h"
#include "dbx/layout.h"
#include "dbx/read_failure.h"
#include "dbx/scan_candidates.h"
#include "dbx/scan_in_parts.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

// A very long chain is measured without reaching the per-candidate stop poll for a while.
constexpr size_t kStopPollBlocks = 4096;

bool usedInRange(int32_t used) { return used > 0 && used <= kBlockUsedMax; }

int16_t blockLength(int32_t used) { return static_cast<int16_t>(std::min(used, kBlockDataMax)); }

// Overlapping or repeated blocks in a hostile base can add up to more than 32 bits hold; such a
// size is out of range for reading anyway.
int32_t saturatedSize(int64_t size) {
  return static_cast<int32_t>(std::min<int64_t>(size, std::numeric_limits<int32_t>::max()));
}

uint32_t progressValue(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

// A record's block list is made in chain order. When a newly found chain is to be put in front of
// it, the list is turned back to front (once), so that this and every later chain put in front is
// an append rather than a copy of the whole list (a base whose blocks run backwards would
// otherwise cost quadratic time). The lists turned are turned back however the joining ends.
class BackToFrontLists {
 public:
  explicit BackToFrontLists(std::vector<BlockList>& lists) : lists_(lists) {}
  ~BackToFrontLists() {
    for (const size_t record : turned_) {
      std::vector<BlockRef>& entries = lists_[record].entries;
      std::reverse(entries.begin(), entries.end());
    }
  }
  BackToFrontLists(const BackToFrontLists&) = delete;
  BackToFrontLists& operator=(const BackToFrontLists&) = delete;

  // Record's list, back to front: a chain is put in front of it by appending it reversed.
  std::vector<BlockRef>& backToFront(size_t record) {
    if (record >= isTurned_.size()) isTurned_.resize(lists_.size());
    std::vector<BlockRef>& entries = lists_[record].entries;
    if (!isTurned_[record]) {
      turned_.push_back(record);  // first, as it may throw: nothing is turned yet
      std::reverse(entries.begin(), entries.end());
      isTurned_[record] = 1;
    }
    return entries;
  }

 private:
  std::vector<BlockList>& lists_;
  std::vector<uint8_t> isTurned_;
  std::vector<size_t> turned_;
};

// The header of candidate i: as the scan saw it, or read now when the scan could not see all of it.
bool candidateHeader(BaseFile& file, const CandidateArray& candidates, size_t i, BlockHeader& header) {
  header.self = candidates[i].offset;
  if (candidates.knownHeader(i, header.used, header.next)) return true;
  return readBlockHeader(file, header.self, header);
}

struct MeasuredChain {
  std::vector<BlockRef> blocks;  // in chain order
  uint32_t lastNext = 0;         // the link in the last block's header
  int64_t total = 0;
  int32_t target = kOwnerUnused;  // the record whose first block the chain ran into, if any
  int64_t targetCandidate = -1;
};

// Follows the links from a start block whose used count is in range, marking every continuation
// it takes. The start is marked too, so a chain that leads back to its own start ends there
// instead of taking its blocks twice.
void measureChain(BaseFile& file, CandidateArray& candidates, size_t startIndex, BlockHeader header,
                  const OperationControl& control, MeasuredChain& chain) {
  ScanCandidate& start = candidates[startIndex];
  size_t current = startIndex;
  chain.blocks.clear();
  chain.total = 0;
  chain.target = kOwnerUnused;
  chain.targetCandidate = -1;
  start.owner = kOwnerContinuation;
  uint32_t blockOffset = start.offset;
  for (;;) {
    const int16_t length = blockLength(header.used);
    chain.blocks.push_back(BlockRef{blockOffset + kBlockHeaderSize, length});
    chain.lastNext = header.next;
    chain.total += length;
    if (chain.blocks.size() % kStopPollBlocks == 0 && control.stopRequested()) failStopped();

    // Only a candidate carries its own offset, so finding the next offset among the candidates is
    // the own-offset check.
    const uint32_t next = header.next;
    if (next == 0 || !reachable(next)) return;
    const int64_t k = findCandidate(candidates, next, current);
    if (k < 0 || !candidateHeader(file, candidates, static_cast<size_t>(k), header)) return;
    ScanCandidate& candidate = candidates[static_cast<size_t>(k)];
    if (candidate.owner != kOwnerUnused) {
      chain.target = candidate.owner;
      chain.targetCandidate = k;
      return;
    }
    candidate.owner = kOwnerContinuation;
    if (!usedInRange(header.used)) return;
    blockOffset = next;
    current = static_cast<size_t>(k);
  }
}

// The new records' lists are made apart from the table, as a chain found later may be put in front
// of an earlier record's list, and handed to it however the joining ends.
// lastNext, when given, gets the link in each new record's last block header, in table order.
void joinCandidates(BaseFile& file, CandidateArray& candidates, MessageTable& table, const OperationControl& control,
                    std::vector<uint32_t>* lastNext = nullptr) {
  ProgressSink& progress = control.bar();
  const uint64_t candidateCount = candidates.size();
  progress.setRange(progressValue(3 * candidateCount));
  progress.setPos(progressValue(candidateCount));

  const size_t first = table.records.size();
  std::vector<BlockList> lists;  // of the records from first on
  try {
    BackToFrontLists backToFront(lists);
    MeasuredChain chain;
    for (size_t c = 0; c < candidateCount; ++c) {
      progress.stepIt();
      if (control.stopRequested()) failStopped();
      ScanCandidate& start = candidates[c];
      if (start.owner != kOwnerUnused) continue;
      BlockHeader header;
      if (!candidateHeader(file, candidates, c, header) || !usedInRange(header.used)) continue;
      measureChain(file, candidates, c, header, control, chain);

      if (chain.target >= 0) {
        // The chain ran into the first block of an earlier record: it is that message's beginning.
        const auto record = static_cast<size_t>(chain.target);
        std::vector<BlockRef>& entries = backToFront.backToFront(record - first);
        entries.insert(entries.end(), chain.blocks.rbegin(), chain.blocks.rend());
        MessageRecord& joined = table.records[record];
        joined.size = saturatedSize(int64_t{joined.size} + chain.total);
        // That block now lies inside the list; a later chain running into it must not be put in front.
        candidates[static_cast<size_t>(chain.targetCandidate)].owner = kOwnerContinuation;
        start.owner = chain.target;
        continue;
      }
      lists.push_back(BlockList{chain.blocks});
      // Made where it stays, so a failed append leaves no list without its record.
      MessageRecord* record = nullptr;
      try {
        record = &table.addRecord(BlockSpan{});
      } catch (...) {
        lists.pop_back();
        throw;
      }
      start.owner = table.count() - 1;
      if (lastNext) lastNext->push_back(chain.lastNext);
      record->deleted = false;
      record->invalid = true;
      record->size = saturatedSize(chain.total);
    }
  } catch (...) {
    (void)table.giveLastLists(first, lists);
    throw;
  }
  if (!table.giveLastLists(first, lists)) throw std::bad_alloc();
}

// Room for the records joining will make, as the assembly expects them (a sixteenth more for the
// chains it could not see whole), so that the table is not moved and copied as it grows. Untouched
// room costs no memory; without it the table grows as before.
void reserveRecords(MessageTable& table, std::vector<uint32_t>& lastNext, size_t expected, size_t candidates) {
  const size_t wanted = std::min(candidates, table.records.size() + expected + expected / 16 + 64);
  table.reserveRoom(wanted - std::min(wanted, table.records.size()));
  try {
    lastNext.reserve(wanted);
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

OperationOutcome recoverScan(const std::string& path, MessageTable& table, const OperationControl& control) {
  BaseFile file;
  OperationOutcome outcome = runInFailureBoundary([&] {
    if (!file.open(path)) failCannotOpen(file.error());
    CandidateArray candidates = collectCandidates(file, control);
    joinCandidates(file, candidates, table, control);
  });
  outcome.bytesRead = file.bytesRead();
  outcome.bytesFetched = file.bytesFetched();
  return outcome;
}

OperationOutcome recoverMessages(const std::string& path, MessageTable& table, const OperationControl& control,
                                 const RecordParser& parse, SeenRecordEnds* seen) {
  BaseFile file;
  std::vector<uint8_t> parsed;
  std::vector<uint32_t> lastNext;
  if (seen) *seen = {};  // nothing from an earlier recovery
  PartsScan scan;
  OperationOutcome outcome = runInFailureBoundary([&] {
    if (!file.open(path)) failCannotOpen(file.error());
    if (!scanInParts(file, control, parse, scan)) {
      scan.assembly = std::make_unique<ChainAssembly>(parse, file.size());
      scan.candidates = collectCandidates(file, control, scan.assembly.get());
    }
    ChainAssembly& assembly = *scan.assembly;
    CandidateArray& candidates = scan.candidates;
    reserveRecords(table, lastNext, assembly.expectedRecords(), candidates.size());
    joinCandidates(file, candidates, table, control, seen ? &lastNext : nullptr);
    if (seen) seen->starts = assembly.takeStarts();
    if (!assembly.finish(control)) {
      // As a reading stopped before its first record leaves the table.
      numberValidRecords(table);
      failStopped();
    }
    assembly.takeParses(table, parsed);
  });
  // The candidates and what the assembly holds are not needed by the reading.
  scan.assembly.reset();
  scan.candidates = CandidateArray();
  if (!outcome.ok()) {
    outcome.bytesRead = file.bytesRead() + scan.otherBytesRead;
    outcome.bytesFetched = file.bytesFetched() + scan.otherBytesFetched;
    return outcome;
  }
  if (seen && lastNext.size() == table.records.size()) seen->lastNext = std::move(lastNext);
  const HeaderParser byIndex = [&parse, &table](const char* text, int length, int recordIndex) {
    return parse(text, length, table.records[static_cast<size_t>(recordIndex)]);
  };
  OperationOutcome reading = readMessages(path, table, control, byIndex, &parsed);
  reading.bytesRead += file.bytesRead() + scan.otherBytesRead;
  reading.bytesFetched += file.bytesFetched() + scan.otherBytesFetched;
  return reading;
}

}  // namespace vireo::dbx

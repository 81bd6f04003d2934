#include "dbx/candidate_scan.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "dbx/byte_view.h"
#include "dbx/chunk_prefetch.h"
#include "dbx/layout.h"
#include "dbx/read_failure.h"
#include "dbx/self_offset_search.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

// Offsets from here on cannot be reached by a link nor read as a block (they are negative as
// signed 32-bit positions), so they are not tested; this also keeps positions from wrapping in
// files of 4 GB and more, which would break the ascending order of the candidates.
constexpr uint64_t kReachableEnd = uint64_t{0x7FFFFFFF} + 1;

}  // namespace

CandidateArray collectCandidates(BaseFile& file, const MessageBaseReader& reader) {
  ProgressSink& progress = reader.progressSink();
  progress.setRange(300);
  progress.setStep(1);
  progress.setPos(0);
  const uint64_t stepEvery = file.size() / 100;

  CandidateArray candidates;
  ChunkPrefetch chunks(file, kScanChunkSize, kScanChunkOverlap);
  std::vector<uint32_t> hits;
  uint64_t sinceStep = 0;
  for (;;) {
    // A hundredth of a large base takes far too long to wait for a stop, so every chunk polls too.
    if (reader.stopRequested()) failStopped();
    const ChunkPrefetch::Chunk chunk = chunks.next();
    const size_t read = chunk.length;
    const uint64_t chunkStart = chunk.start;
    const uint8_t* const buffer = chunk.bytes;
    if (read == 0) break;
    uint64_t tested = read > kScanChunkOverlap ? read - kScanChunkOverlap : 0;
    const bool lastReachable = chunkStart + tested >= kReachableEnd;
    if (lastReachable) tested = kReachableEnd - chunkStart;

    uint64_t done = 0;
    while (done < tested) {
      const uint64_t take = std::min(stepEvery + 1 - sinceStep, tested - done);
      hits.clear();
      findSelfOffsets(buffer + done, static_cast<size_t>(take), static_cast<uint32_t>(chunkStart + done), hits);
      for (const uint32_t offset : hits) {
        const ByteView header(buffer + (offset - chunkStart), read - (offset - chunkStart));
        if (header.has(0, kBlockHeaderSize)) {
          candidates.append(offset, header.i32(kBlockUsed), header.u32(kBlockNext));
        } else {
          candidates.append(offset);
        }
      }
      done += take;
      sinceStep += take;
      if (sinceStep > stepEvery) {
        if (reader.stopRequested()) failStopped();
        progress.stepIt();
        sinceStep = 0;
      }
    }
    if (read != kScanChunkSize || lastReachable) break;
  }
  return candidates;
}

}  // namespace vireo::dbx

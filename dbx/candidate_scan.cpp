#include "dbx/candidate_scan.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "dbx/byte_view.h"
#include "dbx/chain_assembly.h"
#include "dbx/chunk_prefetch.h"
#include "dbx/layout.h"
#include "dbx/read_failure.h"
#include "dbx/self_offset_search.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {

CandidateArray collectCandidates(BaseFile& file, const OperationControl& control, ChainAssembly* assembly,
                                 const ScanStretch* stretch) {
  ProgressSink& progress = control.bar();
  if (!stretch) {
    progress.setRange(300);
    progress.setStep(1);
    progress.setPos(0);
  }
  const auto step = [&] {
    if (!stretch) {
      progress.stepIt();
      return;
    }
    const uint32_t steps = stretch->steps ? stretch->steps->fetch_add(1, std::memory_order_relaxed) + 1 : 0;
    if (stretch->movesBar) progress.setPos(std::min<uint32_t>(steps, 300));
  };
  const uint64_t stepEvery = file.size() / 100;

  CandidateArray candidates;
  ChunkPrefetch chunks(file, kScanChunkSize, kScanChunkOverlap,
                       stretch ? ChunkStretch{stretch->begin, stretch->end} : ChunkStretch{});
  std::vector<uint32_t> hits;
  uint64_t sinceStep = 0;
  for (;;) {
    // A hundredth of a large base takes far too long to wait for a stop, so every chunk polls too.
    if (control.stopRequested()) failStopped();
    const ChunkPrefetch::Chunk chunk = chunks.next();
    const size_t read = chunk.length;
    const uint64_t chunkStart = chunk.start;
    const ByteView bytes(chunk.bytes, read);
    if (read == 0) break;
    if (assembly) assembly->beginChunk(candidates, chunk.bytes, read, chunkStart);
    uint64_t tested = read > kScanChunkOverlap ? read - kScanChunkOverlap : 0;
    // Offsets from kReachableEnd on are not tested: no link can reach them, and it keeps
    // positions from wrapping in files of 4 GB and more, which would break the candidates' order.
    const bool lastReachable = chunkStart + tested >= kReachableEnd;
    if (lastReachable) tested = kReachableEnd - chunkStart;

    uint64_t done = 0;
    while (done < tested) {
      const uint64_t take = std::min(stepEvery + 1 - sinceStep, tested - done);
      hits.clear();
      // The search reads the 3 bytes after its last offset too; the chunk's overlap holds them.
      const std::span<const uint8_t> searched = bytes.span(static_cast<size_t>(done), static_cast<size_t>(take) + 3);
      findSelfOffsets(searched.data(), static_cast<size_t>(take), static_cast<uint32_t>(chunkStart + done), hits);
      for (const uint32_t offset : hits) {
        const size_t at = offset - chunkStart;
        if (bytes.has(at, kBlockHeaderSize)) {
          candidates.append(offset, bytes.i32(at + kBlockUsed), bytes.u32(at + kBlockNext));
        } else {
          candidates.append(offset);
        }
        if (assembly) assembly->candidate(candidates, offset);
      }
      done += take;
      sinceStep += take;
      if (sinceStep > stepEvery) {
        if (control.stopRequested()) failStopped();
        step();
        sinceStep = 0;
      }
    }
    if (assembly) assembly->endChunk();
    if (read != kScanChunkSize || lastReachable) break;
  }
  if (assembly) assembly->endScan(candidates);
  return candidates;
}

}  // namespace vireo::dbx

#pragma once
// The first phase of recovery: one sequential pass over the file that collects every offset whose
// 32-bit word equals the offset, that is every place a data block could start.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "dbx/base_file.h"
#include "dbx/scan_candidates.h"
#include "dbx/operation.h"

namespace vireo::dbx {

class ChainAssembly;

inline constexpr size_t kScanChunkSize = 1'000'000;
inline constexpr size_t kScanChunkOverlap = 4;  // a word starting in a chunk's last 4 bytes is tested in the next

// One stretch of a scan made in parts: the chunks that start from `begin` (a chunk's start) and
// before `end`. The parts count their steps together; one of them moves the bar.
struct ScanStretch {
  uint64_t begin = 0;
  uint64_t end = UINT64_MAX;
  std::atomic<uint32_t>* steps = nullptr;
  bool movesBar = false;
};

// Where the chunk `index` of a scan starts.
inline uint64_t scanChunkStart(uint64_t index) { return index * (kScanChunkSize - kScanChunkOverlap); }

// Tests every offset from 0 to file length - 5 once. Drives the first third of the progress bar
// (range 0 .. 300, one step per file length / 100 offsets) and fails with a stop when a stop is
// requested. Given an assembly, hands it every chunk and candidate as they come. Given a
// stretch, tests only the offsets of its chunks, and leaves the bar's range to the caller.
CandidateArray collectCandidates(BaseFile& file, const OperationControl& control, ChainAssembly* assembly = nullptr,
                                 const ScanStretch* stretch = nullptr);

}  // namespace vireo::dbx

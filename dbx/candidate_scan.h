#pragma once
// The first phase of recovery: one sequential pass over the file that collects every offset whose
// 32-bit word equals the offset, that is every place a data block could start.
#include <cstddef>
#include <cstdint>

#include "dbx/base_file.h"
#include "dbx/scan_candidates.h"
#include "dbx/operation.h"

namespace vireo::dbx {

class ChainAssembly;

inline constexpr size_t kScanChunkSize = 1'000'000;
inline constexpr size_t kScanChunkOverlap = 4;  // a word starting in a chunk's last 4 bytes is tested in the next

// Tests every offset from 0 to file length - 5 once. Drives the first third of the progress bar
// (range 0 .. 300, one step per file length / 100 offsets) and fails with a stop when a stop is
// requested. Given an assembly, hands it every chunk and candidate as they come.
CandidateArray collectCandidates(BaseFile& file, const OperationControl& control, ChainAssembly* assembly = nullptr);

}  // namespace vireo::dbx

#pragma once
// Recovery's scan of a large base in parts: stretches of whole chunks, taken in turn by one
// thread per core. Each thread reads a stretch through its own file handle, finds its
// candidates and assembles and parses its chains while their bytes are still in its core's
// cache. Handing every chunk and every chain's
// bytes to other threads cost more than the parse itself. The parts' candidates and parses are
// joined in file order: the same candidates as one scan finds. A chain that crosses from one
// stretch into the next is cut there, so its parse is one no record takes, and that record
// reads its bytes as any other.
#include <cstdint>
#include <memory>

#include "dbx/base_file.h"
#include "dbx/chain_assembly.h"
#include "dbx/message_reading.h"
#include "dbx/operation.h"
#include "dbx/scan_candidates.h"

namespace vireo::dbx {

struct PartsScan {
  CandidateArray candidates;
  std::unique_ptr<ChainAssembly> assembly;  // every part's, finished
  // What the parts' own file handles read (file's own counters hold the rest).
  uint64_t otherBytesRead = 0;
  uint64_t otherBytesFetched = 0;
};

// False, with nothing read, when the base is not scanned in parts (too small, one core, or the
// file cannot be opened again): the caller scans it in one go. Otherwise as collectCandidates,
// failures and stops included.
bool scanInParts(BaseFile& file, const OperationControl& control, const RecordParser& parse, PartsScan& scan);

}  // namespace vireo::dbx

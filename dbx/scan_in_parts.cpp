#include "dbx/scan_in_parts.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "dbx/candidate_scan.h"
#include "dbx/layout.h"
#include "dbx/read_failure.h"
#include "dbx/run_on_threads.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

constexpr uint64_t kMinChunksForParts = 8;
constexpr unsigned kMaxThreads = 4;
// Stretches per thread: a base whose messages crowd one end of the file still keeps every
// thread busy, each taking the next stretch as it finishes one.
constexpr unsigned kStretchesPerThread = 4;

struct ScanPart {
  std::unique_ptr<ChainAssembly> assembly;
  CandidateArray candidates;
  ScanStretch stretch;
  std::exception_ptr failure;
};

// The stretches one thread scans with its own file handle: the next not yet taken, until none
// is left or one has failed.
void scanStretches(BaseFile& file, std::vector<std::unique_ptr<ScanPart>>& parts, std::atomic<size_t>& next,
                   std::atomic<bool>& failed, bool movesBar, const OperationControl& control) {
  for (size_t p = next.fetch_add(1); p < parts.size() && !failed.load(); p = next.fetch_add(1)) {
    ScanPart& part = *parts[p];
    part.stretch.movesBar = movesBar;
    try {
      part.candidates = collectCandidates(file, control, part.assembly.get(), &part.stretch);
      if (!part.assembly->finish(control)) failStopped();
    } catch (...) {
      part.failure = std::current_exception();
      failed.store(true);
    }
  }
}

}  // namespace

bool scanInParts(BaseFile& file, const OperationControl& control, const RecordParser& parse, PartsScan& scan) {
  // Every stretch but the last holds whole chunks well inside the file; files past the reachable
  // offsets are left to the scan in one go, which stops there.
  const uint64_t chunks = file.size() / scanChunkStart(1);
  if (chunks < kMinChunksForParts || file.size() > kReachableEnd) return false;
  const unsigned threadCount = std::min(std::max(1u, std::thread::hardware_concurrency()), kMaxThreads);
  if (threadCount < 2) return false;
  std::vector<std::unique_ptr<BaseFile>> files;
  for (unsigned t = 1; t < threadCount; ++t) {
    files.push_back(std::make_unique<BaseFile>());
    if (!files.back()->openAgain(file)) {
      files.pop_back();
      break;
    }
  }
  if (files.empty()) return false;

  ProgressSink& progress = control.bar();
  progress.setRange(300);
  progress.setStep(1);
  progress.setPos(0);
  std::atomic<uint32_t> steps{0};
  const size_t stretches = std::min<uint64_t>(chunks / 2, (files.size() + 1) * kStretchesPerThread);
  std::vector<std::unique_ptr<ScanPart>> parts;
  for (size_t p = 0; p < stretches; ++p) {
    auto part = std::make_unique<ScanPart>();
    part->stretch.begin = scanChunkStart(chunks * p / stretches);
    part->stretch.end = p + 1 < stretches ? scanChunkStart(chunks * (p + 1) / stretches) : UINT64_MAX;
    part->stretch.steps = &steps;
    const uint64_t length = std::min<uint64_t>(part->stretch.end, file.size()) - part->stretch.begin;
    part->assembly = std::make_unique<ChainAssembly>(parse, length, true);
    parts.push_back(std::move(part));
  }

  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  // Thread 0 is the calling thread, with the file it was given; it alone moves the bar.
  runOnThreads(files.size() + 1, [&](size_t t) {
    scanStretches(t == 0 ? file : *files[t - 1], parts, next, failed, t == 0, control);
  });

  for (const auto& own : files) {
    scan.otherBytesRead += own->bytesRead();
    scan.otherBytesFetched += own->bytesFetched();
  }
  for (const auto& part : parts)
    if (part->failure) std::rethrow_exception(part->failure);

  scan.candidates = std::move(parts[0]->candidates);
  scan.assembly = std::move(parts[0]->assembly);
  for (size_t p = 1; p < parts.size(); ++p) {
    scan.candidates.appendAll(parts[p]->candidates);
    scan.assembly->absorb(*parts[p]->assembly);
  }
  progress.setPos(300);
  return true;
}

}  // namespace vireo::dbx

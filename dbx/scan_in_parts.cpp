#include "dbx/scan_in_parts.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "dbx/candidate_scan.h"
#include "dbx/layout.h"
#include "dbx/read_failure.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

constexpr uint64_t kMinChunksForParts = 8;
constexpr unsigned kMaxParts = 4;

struct ScanPart {
  BaseFile* file = nullptr;
  std::unique_ptr<BaseFile> ownFile;
  std::unique_ptr<ChainAssembly> assembly;
  CandidateArray candidates;
  ScanStretch stretch;
  std::exception_ptr failure;
};

void scanPart(ScanPart& part, const OperationControl& control) {
  try {
    part.candidates = collectCandidates(*part.file, control, part.assembly.get(), &part.stretch);
    if (!part.assembly->finish(control)) failStopped();
  } catch (...) {
    part.failure = std::current_exception();
  }
}

}  // namespace

bool scanInParts(BaseFile& file, const OperationControl& control, const RecordParser& parse, PartsScan& scan) {
  // Every stretch but the last holds whole chunks well inside the file; files past the reachable
  // offsets are left to the scan in one go, which stops there.
  const uint64_t chunks = file.size() / scanChunkStart(1);
  if (chunks < kMinChunksForParts || file.size() > kReachableEnd) return false;
  const unsigned count = std::min(std::max(1u, std::thread::hardware_concurrency()), kMaxParts);
  if (count < 2) return false;

  std::vector<std::unique_ptr<ScanPart>> parts;
  for (unsigned p = 0; p < count; ++p) {
    auto part = std::make_unique<ScanPart>();
    if (p == 0) {
      part->file = &file;
    } else {
      part->ownFile = std::make_unique<BaseFile>();
      if (!part->ownFile->openAgain(file)) break;
      part->file = part->ownFile.get();
    }
    parts.push_back(std::move(part));
  }
  if (parts.size() < 2) return false;

  ProgressSink& progress = control.bar();
  progress.setRange(300);
  progress.setStep(1);
  progress.setPos(0);
  std::atomic<uint32_t> steps{0};
  for (size_t p = 0; p < parts.size(); ++p) {
    ScanPart& part = *parts[p];
    part.stretch.begin = scanChunkStart(chunks * p / parts.size());
    part.stretch.end = p + 1 < parts.size() ? scanChunkStart(chunks * (p + 1) / parts.size()) : UINT64_MAX;
    part.stretch.steps = &steps;
    part.stretch.movesBar = p == 0;
    const uint64_t length = std::min<uint64_t>(part.stretch.end, file.size()) - part.stretch.begin;
    part.assembly = std::make_unique<ChainAssembly>(parse, length, true);
  }

  // Reserved first, so that nothing but a thread's start can throw while parts run.
  std::vector<std::thread> threads;
  std::vector<ScanPart*> unstarted;
  threads.reserve(parts.size());
  unstarted.reserve(parts.size());
  for (size_t p = 1; p < parts.size(); ++p) {
    try {
      threads.emplace_back([&control, part = parts[p].get()] { scanPart(*part, control); });
    } catch (const std::system_error&) {
      unstarted.push_back(parts[p].get());  // scanned on this thread after its own stretch
    }
  }
  scanPart(*parts[0], control);
  for (ScanPart* part : unstarted) scanPart(*part, control);
  for (std::thread& thread : threads) thread.join();

  for (size_t p = 1; p < parts.size(); ++p) {
    scan.otherBytesRead += parts[p]->file->bytesRead();
    scan.otherBytesFetched += parts[p]->file->bytesFetched();
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

#include "dbx/header_pipeline.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace vireo::dbx {
namespace {

// A batch is handed over once it holds this much text or this many records: large enough that
// handing over costs nothing next to parsing it, small enough that the workers start early.
constexpr size_t kBatchBytes = 256 * 1024;
constexpr size_t kMaxBatchRecords = 256;
constexpr size_t kFirstBatchCapacity = 16 * 1024;
constexpr unsigned kMaxWorkers = 3;
// Below this the whole base is parsed on the calling thread.
constexpr uint64_t kMinFileForThreads = 512 * 1024;

unsigned workerCount() {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return std::clamp(cores - 1, 1u, kMaxWorkers);
}

}  // namespace

HeaderPipeline::HeaderPipeline(MessageTable& table, const HeaderParser& parse, uint64_t fileSize, bool threads)
    : table_(table),
      parse_(parse),
      threaded_(threads && fileSize >= kMinFileForThreads),
      firstCapacity_(static_cast<size_t>(std::min<uint64_t>(fileSize, kFirstBatchCapacity))) {
  batches_.push_back(std::make_unique<Batch>());
  open_ = batches_.back().get();
}

HeaderPipeline::~HeaderPipeline() { stopWorkers(); }

void HeaderPipeline::grow(size_t needed, size_t filled) {
  Batch& batch = *open_;
  // A small base's batch is no larger than the base.
  const size_t capacity = std::max(needed, batch.capacity == 0 ? firstCapacity_ : 2 * batch.capacity);
  auto bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  if (batch.used + filled > 0) std::memcpy(bytes.get(), batch.bytes.get(), batch.used + filled);
  batch.bytes = std::move(bytes);
  batch.capacity = capacity;
}

void HeaderPipeline::commit(int recordIndex, int length) {
  Batch& batch = *open_;
  batch.jobs.push_back(Job{recordIndex, batch.used, length});
  batch.used += static_cast<size_t>(length);
  if (batch.used >= kBatchBytes || batch.jobs.size() >= kMaxBatchRecords) flush();
}

void HeaderPipeline::flush() {
  Batch* full = open_;
  if (full->jobs.empty()) return;
  if (!threaded_) {
    parseBatch(*full);
    return;
  }
  // Started at the first full batch, so a base that fills only one starts none.
  if (!started_) startWorkers();
  std::unique_lock lock(mutex_);
  waiting_.push_back(full);
  workToDo_.notify_one();
  if (batches_.size() < workers_.size() * 2 + 2) {
    batches_.push_back(std::make_unique<Batch>());
    open_ = batches_.back().get();
    return;
  }
  while (free_.empty())
    if (!parseOneWaiting(lock)) batchDone_.wait(lock);
  open_ = free_.back();
  free_.pop_back();
}

void HeaderPipeline::startWorkers() {
  started_ = true;
  const unsigned count = workerCount();
  for (unsigned w = 0; w < count; ++w) {
    try {
      workers_.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer workers: the browsing thread parses what they cannot
    }
  }
}

void HeaderPipeline::workerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    workToDo_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
    if (quit_) return;
    Batch* batch = waiting_.front();
    waiting_.erase(waiting_.begin());
    ++busy_;
    lock.unlock();
    parseBatch(*batch);
    lock.lock();
    --busy_;
    free_.push_back(batch);
    batchDone_.notify_all();
  }
}

bool HeaderPipeline::parseOneWaiting(std::unique_lock<std::mutex>& lock) {
  if (waiting_.empty()) return false;
  Batch* batch = waiting_.front();
  waiting_.erase(waiting_.begin());
  lock.unlock();
  parseBatch(*batch);
  lock.lock();
  free_.push_back(batch);
  return true;
}

// Each record is written by the one thread that parses it. A parse that throws ends the
// parsing; finish() reports it.
void HeaderPipeline::parseBatch(Batch& batch) {
  for (const Job& job : batch.jobs) {
    if (failed_.load(std::memory_order_relaxed) || abandoned_.load(std::memory_order_relaxed)) break;
    try {
      MessageRecord& record = table_.records[static_cast<size_t>(job.recordIndex)];
      if (parse_(reinterpret_cast<const char*>(batch.bytes.get() + job.at), job.length, job.recordIndex) == 0)
        record.clearTexts();
      else
        record.invalid = false;
    } catch (...) {
      std::lock_guard guard(failureMutex_);
      if (!failure_) failure_ = std::current_exception();
      failed_.store(true);
    }
  }
  batch.used = 0;
  batch.jobs.clear();
}

void HeaderPipeline::quiesce() {
  if (!started_) return;
  std::unique_lock lock(mutex_);
  while (!waiting_.empty() || busy_ > 0)
    if (!parseOneWaiting(lock)) batchDone_.wait(lock);
}

void HeaderPipeline::stopWorkers() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  workToDo_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

bool HeaderPipeline::finish(const OperationControl& control) {
  bool stopped = false;
  if (!started_) {
    if (control.stopRequested()) stopped = true;
    else parseBatch(*open_);
  } else {
    std::unique_lock lock(mutex_);
    if (!open_->jobs.empty()) {
      waiting_.push_back(open_);
      workToDo_.notify_one();
    }
    while (!waiting_.empty() || busy_ > 0) {
      if (control.stopRequested()) {
        stopped = true;
        abandoned_.store(true);
        break;
      }
      if (!parseOneWaiting(lock)) batchDone_.wait(lock);
    }
  }
  stopWorkers();
  {
    std::lock_guard guard(failureMutex_);
    if (failure_) std::rethrow_exception(failure_);
  }
  numberValidRecords(table_);
  return !stopped;
}

void HeaderPipeline::abandon() {
  abandoned_.store(true);
  stopWorkers();
  forgetParses(table_);
}

}  // namespace vireo::dbx

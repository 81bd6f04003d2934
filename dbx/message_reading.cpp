#include "dbx/message_reading.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/failure_boundary.h"
#include "dbx/layout.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

// Records are handed out in stretches of the file about this long: long enough that each
// thread's reads stream forward, short enough that the threads finish together.
constexpr uint64_t kBatchBytes = 256 * 1024;
constexpr size_t kMaxBatchRecords = 256;
constexpr unsigned kMaxThreads = 4;
// Below this much reading one thread does it all: starting others would cost more.
constexpr uint64_t kMinBytesForThreads = 2 * kBatchBytes;
constexpr size_t kMinRecordsForThreads = 128;

bool readable(const MessageRecord& record) { return record.size > 0 && record.size < kMaxMessageSize; }
int parseLength(const MessageRecord& record) { return record.size >= kParseLimit ? kParseLimit : record.size; }

// Reads the record's blocks into the buffer until more than limit bytes are in it. A block is
// read only as far as a buffer of kReadBufferSize has room: a stored length larger than any real
// block (a damaged indexed message) can then never write past the buffer, and bytes past the
// limit are never parsed anyway. The buffer itself may be smaller (capacity, at least limit):
// what would have fallen beyond it must still lie in the file, so a record reads as valid or not
// whatever the buffer's size.
bool readMessageStart(BaseFile& file, BlockSpan blocks, int limit, uint8_t* buffer, size_t capacity) {
  size_t filled = 0;
  for (const BlockRef& block : blocks) {
    if (block.length < 0) return false;
    const size_t take = std::min<size_t>(static_cast<size_t>(block.length), kReadBufferSize - filled);
    const size_t copy = filled < capacity ? std::min(take, capacity - filled) : 0;
    if (!file.readExact(block.offset, copy > 0 ? buffer + filled : buffer, copy)) return false;
    if (take > copy && !file.holds(block.offset, take)) return false;
    filled += take;
    if (filled > static_cast<size_t>(limit) || filled == kReadBufferSize) break;
  }
  return filled >= static_cast<size_t>(limit);
}

// The order the records are read in: by the offset of their first block, cut into stretches of
// the file. Each thread then reads forward through the stretches it takes, and no two threads
// read the same bytes, while the table keeps its own order.
struct ReadingPlan {
  struct Batch {
    size_t first = 0;  // into order
    size_t end = 0;
    uint64_t stretchStart = 0;
    uint64_t stretchEnd = 0;  // past the last byte a record of the batch reads
  };
  std::vector<uint32_t> order;
  std::vector<Batch> batches;
  uint64_t bytesToRead = 0;
  size_t bufferSize = 1;  // the largest parse length among the records, with a block's headroom
};

// Where a record's reading starts and ends in the file (its blocks up to the parse length).
void recordStretch(const MessageRecord& record, BlockSpan blocks, uint64_t& start, uint64_t& end) {
  start = blocks.empty() ? UINT32_MAX : blocks.front().offset;
  end = start;
  if (!readable(record)) return;
  const auto limit = static_cast<uint64_t>(parseLength(record));
  uint64_t filled = 0;
  for (const BlockRef& block : blocks) {
    if (block.length < 0) break;
    end = std::max(end, uint64_t{block.offset} + static_cast<uint64_t>(block.length));
    filled += static_cast<uint64_t>(block.length);
    if (filled > limit) break;
  }
}

ReadingPlan planReading(const MessageTable& table, const std::vector<uint8_t>* alreadyParsed) {
  ReadingPlan plan;
  // Sorted as one flat array of (first block offset, record) keys.
  std::vector<uint64_t> keys;
  keys.reserve(table.records.size());
  for (size_t i = 0; i < table.records.size(); ++i) {
    if (alreadyParsed && (*alreadyParsed)[i]) continue;
    const BlockSpan blocks = table.blocksOf(i);
    const uint64_t first = blocks.empty() ? UINT32_MAX : blocks.front().offset;
    keys.push_back(first << 32 | i);
  }
  const size_t count = keys.size();
  std::sort(keys.begin(), keys.end());
  plan.order.resize(count);
  for (size_t k = 0; k < count; ++k) plan.order[k] = static_cast<uint32_t>(keys[k]);

  ReadingPlan::Batch batch;
  uint64_t batchBytes = 0;
  for (size_t k = 0; k < count; ++k) {
    const size_t i = plan.order[k];
    const MessageRecord& record = table.records[i];
    uint64_t start = 0, end = 0;
    recordStretch(record, table.blocksOf(i), start, end);
    if (k == batch.first) {
      batch.stretchStart = start;
      batch.stretchEnd = end;
    }
    batch.stretchStart = std::min(batch.stretchStart, start);
    batch.stretchEnd = std::max(batch.stretchEnd, end);
    if (readable(record)) {
      const auto length = static_cast<uint64_t>(parseLength(record));
      batchBytes += length;
      plan.bytesToRead += length;
      plan.bufferSize = std::max<size_t>(plan.bufferSize, std::min<size_t>(length + kBlockUsedMax, kReadBufferSize));
    }
    if (batchBytes >= kBatchBytes || k + 1 - batch.first >= kMaxBatchRecords || k + 1 == count) {
      batch.end = k + 1;
      plan.batches.push_back(batch);
      batch = ReadingPlan::Batch{};
      batch.first = k + 1;
      batchBytes = 0;
    }
  }
  return plan;
}

// Reads and parses record i; it writes that record and nothing else.
void readRecord(MessageTable& table, const HeaderParser& parse, BaseFile& file, uint8_t* buffer, size_t capacity,
                int i) {
  MessageRecord& record = table.records[static_cast<size_t>(i)];
  record.invalid = true;
  if (!readable(record)) return;
  const int limit = parseLength(record);
  if (!readMessageStart(file, table.blocksOf(static_cast<size_t>(i)), limit, buffer, capacity)) return;
  if (parse(reinterpret_cast<const char*>(buffer), limit, i) == 0) {
    record.clearTexts();
    return;
  }
  record.invalid = false;
}

// The records of a base parsed on every core: each record is independent of the others, and
// parsing, not reading, is most of the work. The calling thread drives the progress bar (it is
// the only one that may); the records are numbered in table order once all are parsed.
class ParallelReading {
 public:
  ParallelReading(const std::string& path, MessageTable& table, const OperationControl& control,
                  const HeaderParser& parse, BaseFile& file, const std::vector<uint8_t>* alreadyParsed)
      : path_(path),
        table_(table),
        control_(control),
        parse_(parse),
        file_(file),
        plan_(planReading(table, alreadyParsed)) {}

  ~ParallelReading() {
    stopped_.store(true);
    for (std::thread& helper : helpers_) helper.join();
  }

  // False when a stop was requested.
  bool run() {
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxThreads));
    // Threads only for what they can share: one per stretch at most.
    const size_t threads = plan_.bytesToRead >= kMinBytesForThreads && plan_.order.size() >= kMinRecordsForThreads
                               ? std::min<size_t>(cores, plan_.batches.size())
                               : 1;
    if (threads > 1) file_.adviseSequential();
    for (size_t h = 1; h < threads; ++h) {
      try {
        helpers_.emplace_back([this] { helperWork(); });
      } catch (const std::system_error&) {
        break;  // fewer threads: the others do the work
      }
    }
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(plan_.bufferSize);
    ProgressSink& progress = control_.bar();
    int stepped = 0;
    work(file_, buffer.get(), [&] {
      for (const int done = finished_.load(std::memory_order_acquire); stepped < done; ++stepped) progress.stepIt();
    });
    for (std::thread& helper : helpers_) helper.join();
    helpers_.clear();
    if (std::exception_ptr failure = helperFailure()) std::rethrow_exception(failure);
    for (const int done = finished_.load(); stepped < done; ++stepped) progress.stepIt();
    return !stopped_.load();
  }

  // What the helper threads read and fetched, once they have ended.
  uint64_t helperBytesRead() const { return helperBytes_.load(); }
  uint64_t helperBytesFetched() const { return helperFetched_.load(); }

 private:
  template <class AfterRecord>
  void work(BaseFile& file, uint8_t* buffer, AfterRecord&& afterRecord) {
    const size_t batches = plan_.batches.size();
    for (size_t b; (b = next_.fetch_add(1)) < batches;) {
      const ReadingPlan::Batch& batch = plan_.batches[b];
      file.limitReadAhead(batch.stretchEnd);
      for (size_t k = batch.first; k < batch.end; ++k) {
        if (stopped_.load(std::memory_order_relaxed) || control_.stopRequested()) {
          stopped_.store(true);
          return;
        }
        readRecord(table_, parse_, file, buffer, plan_.bufferSize, static_cast<int>(plan_.order[k]));
        finished_.fetch_add(1, std::memory_order_release);
        afterRecord();
      }
    }
  }

  void helperWork() {
    BaseFile file;
    try {
      if (file.open(path_)) {  // if not, the calling thread reads what is left
        auto buffer = std::make_unique_for_overwrite<uint8_t[]>(plan_.bufferSize);
        work(file, buffer.get(), [] {});
      }
    } catch (...) {
      std::lock_guard lock(failureMutex_);
      // The first failure is the one reported; the others stop because of it.
      if (!helperFailure_) helperFailure_ = std::current_exception();
      stopped_.store(true);
    }
    helperBytes_.fetch_add(file.bytesRead());
    helperFetched_.fetch_add(file.bytesFetched());
  }

  std::exception_ptr helperFailure() {
    std::lock_guard lock(failureMutex_);
    return helperFailure_;
  }

  const std::string& path_;
  MessageTable& table_;
  const OperationControl& control_;
  const HeaderParser& parse_;
  BaseFile& file_;
  const ReadingPlan plan_;
  std::vector<std::thread> helpers_;
  std::atomic<size_t> next_{0};
  std::atomic<int> finished_{0};
  std::atomic<bool> stopped_{false};
  std::atomic<uint64_t> helperBytes_{0};
  std::atomic<uint64_t> helperFetched_{0};
  std::mutex failureMutex_;
  std::exception_ptr helperFailure_;
};

}  // namespace

// After a stop too, so the table never holds a valid record without its number.
void numberValidRecords(MessageTable& table) {
  table.validCount = 0;
  for (MessageRecord& record : table.records)
    if (!record.invalid) record.number = table.validCount++;
}

void forgetParses(MessageTable& table) {
  for (MessageRecord& record : table.records) {
    MessageRecord browsed;
    browsed.deleted = record.deleted;
    browsed.size = record.size;
    record = std::move(browsed);
  }
  table.validCount = 0;
}

OperationOutcome readMessages(const std::string& path, MessageTable& table, const OperationControl& control,
                              const HeaderParser& parse, const std::vector<uint8_t>* alreadyParsed) {
  BaseFile file;
  uint64_t helperBytes = 0;
  uint64_t helperFetched = 0;
  OperationOutcome outcome = runInFailureBoundary([&] {
    table.validCount = 0;
    if (!file.open(path)) failCannotOpen(file.error());

    ProgressSink& progress = control.bar();
    const uint32_t count = static_cast<uint32_t>(table.count());
    progress.setRange(3 * count);
    const auto parsed = static_cast<uint32_t>(
        alreadyParsed ? std::count(alreadyParsed->begin(), alreadyParsed->end(), uint8_t{1}) : 0);
    progress.setPos(2 * count + parsed);

    bool complete = false;
    {
      ParallelReading reading(path, table, control, parse, file, alreadyParsed);
      complete = reading.run();
      helperBytes = reading.helperBytesRead();
      helperFetched = reading.helperBytesFetched();
    }
    numberValidRecords(table);
    if (!complete) failStopped();
  });
  outcome.bytesRead = file.bytesRead() + helperBytes;
  outcome.bytesFetched = file.bytesFetched() + helperFetched;
  return outcome;
}

}  // namespace vireo::dbx

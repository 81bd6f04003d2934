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

// Records handed to a thread at a time: enough to make the hand-out cheap, few enough that the
// threads finish together.
constexpr int kBatch = 32;
// Below this many records one thread does it all: starting others would cost more.
constexpr int kMinRecordsForThreads = 4 * kBatch;
constexpr unsigned kMaxThreads = 4;

// Reads the record's blocks into the buffer until more than limit bytes are in it. A block is
// read only as far as the buffer has room: a stored length larger than any real block (a damaged
// indexed message) can then never write past the buffer, and bytes past the limit are never
// parsed anyway.
bool readMessageStart(BaseFile& file, const BlockList& blocks, int limit, uint8_t* buffer) {
  size_t filled = 0;
  for (const BlockRef& block : blocks.entries) {
    if (block.length < 0) return false;
    const size_t room = kReadBufferSize - filled;
    const size_t take = std::min<size_t>(static_cast<size_t>(block.length), room);
    if (!file.readExact(block.offset, buffer + filled, take)) return false;
    filled += take;
    if (filled > static_cast<size_t>(limit) || filled == kReadBufferSize) break;
  }
  return filled >= static_cast<size_t>(limit);
}

// Reads and parses record i; it writes that record and nothing else.
void readRecord(MessageTable& table, const HeaderParser& parse, BaseFile& file, uint8_t* buffer, int i) {
  MessageRecord& record = table.records[static_cast<size_t>(i)];
  record.invalid = true;
  if (record.size <= 0 || record.size >= kMaxMessageSize) return;
  const int limit = record.size >= kParseLimit ? kParseLimit : record.size;
  if (!readMessageStart(file, table.blockLists[static_cast<size_t>(i)], limit, buffer)) return;
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
                  const HeaderParser& parse, BaseFile& file)
      : path_(path), table_(table), control_(control), parse_(parse), file_(file) {}

  ~ParallelReading() {
    stopped_.store(true);
    for (std::thread& helper : helpers_) helper.join();
  }

  // False when a stop was requested.
  bool run() {
    const int count = table_.count();
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxThreads));
    if (count >= kMinRecordsForThreads) {
      for (unsigned h = 1; h < cores; ++h) {
        try {
          helpers_.emplace_back([this] { helperWork(); });
        } catch (const std::system_error&) {
          break;  // fewer threads: the others do the work
        }
      }
    }
    auto buffer = std::make_unique<uint8_t[]>(kReadBufferSize);
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

  // What the helper threads read, once they have ended.
  uint64_t helperBytesRead() const { return helperBytes_.load(); }

 private:
  template <class AfterRecord>
  void work(BaseFile& file, uint8_t* buffer, AfterRecord&& afterRecord) {
    const int count = table_.count();
    for (int start; (start = next_.fetch_add(kBatch)) < count;) {
      for (int i = start; i < std::min(start + kBatch, count); ++i) {
        if (stopped_.load(std::memory_order_relaxed) || control_.stopRequested()) {
          stopped_.store(true);
          return;
        }
        readRecord(table_, parse_, file, buffer, i);
        finished_.fetch_add(1, std::memory_order_release);
        afterRecord();
      }
    }
  }

  void helperWork() {
    BaseFile file;
    try {
      if (file.open(path_)) {  // if not, the calling thread reads what is left
        auto buffer = std::make_unique<uint8_t[]>(kReadBufferSize);
        work(file, buffer.get(), [] {});
      }
    } catch (...) {
      std::lock_guard lock(failureMutex_);
      // The first failure is the one reported; the others stop because of it.
      if (!helperFailure_) helperFailure_ = std::current_exception();
      stopped_.store(true);
    }
    helperBytes_.fetch_add(file.bytesRead());
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
  std::vector<std::thread> helpers_;
  std::atomic<int> next_{0};
  std::atomic<int> finished_{0};
  std::atomic<bool> stopped_{false};
  std::atomic<uint64_t> helperBytes_{0};
  std::mutex failureMutex_;
  std::exception_ptr helperFailure_;
};

// Valid records numbered 0, 1, 2 ... in table order, after a stop too, so the table never holds
// a valid record without its number.
void numberValidRecords(MessageTable& table) {
  table.validCount = 0;
  for (MessageRecord& record : table.records)
    if (!record.invalid) record.number = table.validCount++;
}

}  // namespace

OperationOutcome readMessages(const std::string& path, MessageTable& table, const OperationControl& control,
                              const HeaderParser& parse) {
  BaseFile file;
  uint64_t helperBytes = 0;
  OperationOutcome outcome = runInFailureBoundary([&] {
    table.validCount = 0;
    if (!file.open(path)) failCannotOpen(file.error());

    ProgressSink& progress = control.bar();
    const uint32_t count = static_cast<uint32_t>(table.count());
    progress.setRange(3 * count);
    progress.setPos(2 * count);

    bool complete = false;
    {
      ParallelReading reading(path, table, control, parse, file);
      complete = reading.run();
      helperBytes = reading.helperBytesRead();
    }
    numberValidRecords(table);
    if (!complete) failStopped();
  });
  outcome.bytesRead = file.bytesRead() + helperBytes;
  return outcome;
}

}  // namespace vireo::dbx

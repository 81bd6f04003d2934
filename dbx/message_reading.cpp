#include "dbx/message_reading.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/failure_boundary.h"
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
void readRecord(MessageBaseReader& reader, BaseFile& file, uint8_t* buffer, int i) {
  MessageRecord& record = reader.records[static_cast<size_t>(i)];
  record.invalid = true;
  if (record.size <= 0 || record.size >= kMaxMessageSize) return;
  const int limit = record.size >= kParseLimit ? kParseLimit : record.size;
  if (!readMessageStart(file, reader.blockLists[static_cast<size_t>(i)], limit, buffer)) return;
  if (reader.parseHeaders(reinterpret_cast<const char*>(buffer), limit, i) == 0) {
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
  ParallelReading(MessageBaseReader& reader, BaseFile& file) : reader_(reader), file_(file) {}

  ~ParallelReading() {
    stopped_.store(true);
    for (std::thread& helper : helpers_) helper.join();
  }

  // False when a stop was requested.
  bool run() {
    const int count = reader_.count();
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
    ProgressSink& progress = reader_.progressSink();
    int stepped = 0;
    work(file_, buffer.get(), [&] {
      for (const int done = finished_.load(std::memory_order_acquire); stepped < done; ++stepped) progress.stepIt();
    });
    for (std::thread& helper : helpers_) helper.join();
    helpers_.clear();
    if (helperFailure_) std::rethrow_exception(helperFailure_);
    for (const int done = finished_.load(); stepped < done; ++stepped) progress.stepIt();
    return !stopped_.load();
  }

 private:
  template <class AfterRecord>
  void work(BaseFile& file, uint8_t* buffer, AfterRecord&& afterRecord) {
    const int count = reader_.count();
    for (int start; (start = next_.fetch_add(kBatch)) < count;) {
      for (int i = start; i < std::min(start + kBatch, count); ++i) {
        if (stopped_.load(std::memory_order_relaxed) || reader_.stopRequested()) {
          stopped_.store(true);
          return;
        }
        readRecord(reader_, file, buffer, i);
        finished_.fetch_add(1, std::memory_order_release);
        afterRecord();
      }
    }
  }

  void helperWork() {
    try {
      BaseFile file;
      if (!file.open(reader_.workingPath)) return;  // the calling thread reads what is left
      auto buffer = std::make_unique<uint8_t[]>(kReadBufferSize);
      work(file, buffer.get(), [] {});
    } catch (...) {
      helperFailure_ = std::current_exception();
      stopped_.store(true);
    }
  }

  MessageBaseReader& reader_;
  BaseFile& file_;
  std::vector<std::thread> helpers_;
  std::atomic<int> next_{0};
  std::atomic<int> finished_{0};
  std::atomic<bool> stopped_{false};
  std::exception_ptr helperFailure_;
};

// Valid records numbered 0, 1, 2 ... in table order, after a stop too, so the table never holds
// a valid record without its number.
void numberValidRecords(MessageBaseReader& reader) {
  reader.validCount = 0;
  for (MessageRecord& record : reader.records)
    if (!record.invalid) record.number = reader.validCount++;
}

}  // namespace

void readMessages(MessageBaseReader& reader) {
  runInFailureBoundary(reader, [&] {
    reader.validCount = 0;
    BaseFile file;
    if (!file.open(reader.workingPath)) failCannotOpen(reader.workingPath, file.error());

    ProgressSink& progress = reader.progressSink();
    const uint32_t count = static_cast<uint32_t>(reader.count());
    progress.setRange(3 * count);
    progress.setPos(2 * count);

    bool complete = false;
    {
      ParallelReading reading(reader, file);
      complete = reading.run();
    }
    numberValidRecords(reader);
    if (!complete) failStopped();
  });
}

}  // namespace vireo::dbx

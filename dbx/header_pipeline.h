#pragma once
// Parsing messages' headers while the browse is still walking the base. The browse copies each
// message's first bytes out of the windows its chain walk has just read (so the file is read
// once) into the open batch; full batches go to worker threads through a small pool of reused
// buffers, so parsing overlaps the walk and, on a cold disk, hides behind it. When every buffer
// is waiting, the browsing thread parses one itself instead of waiting. A small base is parsed
// on the calling thread alone: starting threads would cost more than its parse.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "dbx/message_reading.h"
#include "dbx/operation.h"
#include "table/message_table.h"

namespace vireo::dbx {

class HeaderPipeline {
 public:
  // With threads false every batch is parsed on the calling thread, as for a small base.
  HeaderPipeline(MessageTable& table, const HeaderParser& parse, uint64_t fileSize, bool threads = true);
  ~HeaderPipeline();
  HeaderPipeline(const HeaderPipeline&) = delete;
  HeaderPipeline& operator=(const HeaderPipeline&) = delete;

  // Where the message being assembled starts, with room for `more` bytes past the `filled` ones
  // already copied. The pointer holds until the next call.
  uint8_t* room(size_t filled, size_t more) {
    Batch& batch = *open_;
    if (batch.used + filled + more > batch.capacity) grow(batch.used + filled + more, filled);
    return batch.bytes.get() + batch.used;
  }
  // The message assembled is record recordIndex's; its first length bytes are parsed, now or on
  // a worker.
  void commit(int recordIndex, int length);
  // Called before the table's record array may move: no parse may write into it meanwhile.
  void quiesce();

  // Parses what is left, waits for the workers and numbers the valid records in table order
  // (after a stop too). Rethrows what a parse threw; false when a stop was requested.
  [[nodiscard]] bool finish(const OperationControl& control);
  // Ends the workers without parsing what waits, and puts every record back as the browse made
  // it: no texts, invalid, unnumbered.
  void abandon();

 private:
  struct Job {
    int recordIndex = 0;
    size_t at = 0;
    int length = 0;
  };
  struct Batch {
    std::unique_ptr<uint8_t[]> bytes;
    size_t capacity = 0;
    size_t used = 0;
    std::vector<Job> jobs;
  };
  void grow(size_t needed, size_t filled);
  void flush();
  void startWorkers();
  void workerLoop();
  void parseBatch(Batch& batch);
  // With the lock held: parses one waiting batch on this thread; false when none waits.
  bool parseOneWaiting(std::unique_lock<std::mutex>& lock);
  void stopWorkers();

  MessageTable& table_;
  const HeaderParser& parse_;
  const bool threaded_;
  const size_t firstCapacity_;
  std::vector<std::unique_ptr<Batch>> batches_;  // every batch, for their lifetime
  Batch* open_ = nullptr;                        // the batch the browse fills; only it touches it
  std::vector<Batch*> waiting_;                  // full, not yet parsed (oldest first)
  std::vector<Batch*> free_;
  int busy_ = 0;  // batches a worker is parsing
  bool quit_ = false;
  bool started_ = false;  // workers were started (only the browsing thread reads it)
  std::atomic<bool> abandoned_{false};
  std::atomic<bool> failed_{false};
  std::mutex failureMutex_;
  std::exception_ptr failure_;
  std::mutex mutex_;
  std::condition_variable workToDo_;
  std::condition_variable batchDone_;
  std::vector<std::thread> workers_;
};

}  // namespace vireo::dbx

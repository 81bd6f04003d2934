#pragma once
// The worker thread: one operation at a time (1 browse, 2 recover, 3 search a list of folders,
// 4 search one folder, 5 copy a base file, 6 find the bases of a disk image) beside the interface thread. Everything the worker
// touches lives in one WorkerShared that the thread co-owns, so a worker that outlives its
// document (it did not stop within the close time-out) still finds it, while the caller's
// progress and completion sinks are cut off before the document goes.
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "reader/image_open.h"
#include "reader/message_base_reader.h"
#include "table/design_numbers.h"  // the completion messages

namespace vireo {

inline constexpr int kOperationBrowse = 1;
inline constexpr int kOperationRecover = 2;
inline constexpr int kOperationSearchList = 3;
inline constexpr int kOperationSearchFolder = 4;
inline constexpr int kOperationCopyBase = 5;
inline constexpr int kOperationOpenImage = 6;

inline constexpr int kReaderTableSize = 500;
inline constexpr std::chrono::milliseconds kCompletionTimeout{3000};

// Receives a completion message on the worker thread and returns a future that becomes ready
// when the message has been handled (the window posts it to its own thread). The worker waits
// for it at most kCompletionTimeout. It must not destroy the document itself.
using CompletionSink = std::function<std::future<void>(int message)>;

// A future for a sink that handled the message before returning.
std::future<void> handledAlready();

struct WorkerShared;

// Searches one folder for bases (operations 3 and 4), on the worker thread; polls
// shared.stopEvent and clears shared.searchOk when it stops.
using FolderSearch = std::function<void(WorkerShared& shared, const std::string& folder)>;

// Forwards the reading operations' progress to the caller's bar until cut off.
class ForwardingProgress final : public ProgressSink {
 public:
  void connect(ProgressSink* target);
  void disconnect() { connect(nullptr); }
  void setRange(uint32_t maximum) override;
  void setStep(int step) override;
  void stepIt() override;
  void setPos(uint32_t position) override;
  void setCopying(bool copying) override;

 private:
  std::mutex mutex_;
  ProgressSink* target_ = nullptr;
};

struct WorkerShared {
  std::vector<MessageBaseReader> readers = std::vector<MessageBaseReader>(kReaderTableSize);
  // All three start signalled: no worker runs.
  ManualResetEvent stopEvent{true};
  ManualResetEvent doneEvent{true};
  ManualResetEvent closingEvent{true};
  int operation = 0;
  int operationReader = 0;
  std::string searchArgument;
  int searchOk = 0;
  int dirCounter = 100;  // folders a search visited since its last progress message
  // The readers in use. A search appends on the worker while the window may read the table: an
  // entry is filled first and counted (or dropped again as a duplicate) under tableMutex.
  std::atomic<int> readerCount{0};
  // The table filled up; no listing adds anything until removed bases free their slots.
  bool listingStopped = false;
  std::mutex tableMutex;
  // Removed readers whose index nothing refers to any more (Document::releaseRemovedReaders), under
  // tableMutex: a full table gives their slots to new bases.
  std::vector<int> freeSlots;
  bool copyFirst = false;  // the document's copy option for this operation, taken at its start
  std::string workingFolder;  // where working copies are made: the document's temp folder
  std::string copySource;       // operation 5: the base file
  std::string copyDestination;  // and the file it becomes
  PlacedFile copyPlaced;        // set before a copy reports success: the final name and how
  bool copyStopped = false;     // set before a copy reports it was stopped
  std::string imagePath;        // operation 6: the disk image
  int imageNumber = 0;          // and its number in this run, which its bases' file names carry
  ImageOpening imageOpening;    // set before it reports: the bases written
  ForwardingProgress progress;
  FolderSearch search;
  // How long the worker waits for the window to handle a completion message.
  std::chrono::milliseconds completionTimeout = kCompletionTimeout;

  void setCompletionSink(CompletionSink sink);
  // Signals closingEvent; no completion message is delivered after this returns.
  void beginClosing();
  // Delivers message unless closing, then waits for it to be handled within the time-out.
  void deliver(int message);

  // searchArgument while a search runs, as its progress text: the window reads it when message
  // 2028 arrives, and a message it did not take in time must not race the next text.
  void setSearchText(std::string text);
  std::string searchText();

 private:
  std::mutex textMutex_;
  std::mutex sinkMutex_;
  CompletionSink completion_;
};

// The folders an operation 3 or 4 searches: operation 3 splits at ";" and skips empty pieces;
// each folder loses one trailing "/" or "\".
std::vector<std::string> searchFolders(int operation, const std::string& searchArgument);

// Runs shared.operation, delivers 2025 or 2026 unless closing, then signals doneEvent.
void workerThreadProc(WorkerShared& shared);

}  // namespace vireo

#pragma once
// The document without its window: the working folders and settings, the table of 500 readers,
// the worker and its events, and the command flags. The Qt window and vireo-cli drive the same
// object.
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/exit_cleanup.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "reader/base_copy.h"
#include "reader/command_availability.h"
#include "reader/message_base_reader.h"
#include "reader/start_listing.h"
#include "reader/temp_folder.h"
#include "reader/worker.h"

namespace vireo {

inline constexpr std::chrono::milliseconds kCloseTimeout{10000};

class Document;

// Where a document finds its settings and folders. forUser() reads the environment; tests and
// the CLI fill it themselves.
struct DocumentSetup {
  std::string settingsFile;        // empty: no settings are read
  std::string fallbackTempFolder;  // used when the settings give no usable "Path"
  // When fallbackTempFolder is empty too: where the document makes a working folder of its own
  // (see reader/temp_folder.h), removed when the document goes.
  std::string workingFolderBase;
  std::string exportFolder;
  std::chrono::milliseconds closeTimeout = kCloseTimeout;
  std::chrono::milliseconds completionTimeout = kCompletionTimeout;
  // Adds the bases of the Outlook Express store folders at construction when openStoreAtStart
  // is set (vireo-cli and tests).
  std::function<void(Document&)> addStoreBases;
  // The window's store folders, walked off the interface thread by startFindingBases when
  // openStoreAtStart is set.
  StoreFolderSource storeFolders;

  static DocumentSetup forUser();
};

class Document : public CommandFlags {
  // First member: the references below point into it.
  std::shared_ptr<WorkerShared> shared_;

 public:
  // Never ends the program: when no temp folder can be made, startupFailure() says so and the
  // caller shows it and ends (the window after its message box, the CLI with status 1).
  explicit Document(DocumentSetup setup = DocumentSetup::forUser());
  // Stops and awaits a running worker (at most the close time-out), then deletes the .eml,
  // .mht and .dbc files of the temp folder, and the folder itself when the document made it.
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Starts operation 1 (browse) or 2 (recover) on readers[readerIndex]. False when a worker still
  // runs, the arguments are out of range or no thread could be started.
  bool startOperation(int operation, int readerIndex);
  // Starts operation 3 (folders separated by ";") or 4 (one folder), after
  // releaseRemovedReaders.
  bool startSearch(int operation, const std::string& argument);
  // Why readers[readerIndex]'s base file cannot be copied into folder (see baseCopyRefusal);
  // nothing when it can.
  std::optional<FailureReason> baseCopyRefusal(int readerIndex, const std::string& folder) const;
  // Starts operation 5: the copy of readers[readerIndex]'s base file into folder, which exists.
  // The worker shows how it ended (nothing after a stop). False as startOperation.
  bool startBaseCopy(int readerIndex, const std::string& folder);
  // Starts operation 6: the bases of the disk image (or block device) at imagePath are found and
  // written into the temp folder on the worker; once it has succeeded, completeOperation lists
  // them. False as startOperation.
  bool startImageOpen(const std::string& imagePath);
  // How many bases the last search added to the table (read after its completion).
  int lastSearchAdded() const { return lastSearchAdded_; }
  // The folders the last search looked through (searchArgument holds its progress text meanwhile).
  const std::vector<std::string>& lastSearchFolders() const { return lastSearchFolders_; }
  // How many bases the last disk image added to the table (read after its completion).
  int lastImageBases() const { return lastImageBases_; }
  const std::string& lastImagePath() const { return shared_->imagePath; }
  // Starts finding the start-up's bases on a thread of its own: the store folders (when
  // openStoreAtStart is set), then paths. deliver runs on that thread; the lists it gets go to
  // takeFoundBases on the interface thread. Once per document.
  void startFindingBases(const std::vector<std::string>& paths, FoundBasesSink deliver);
  // Asks that thread to stop between folders and waits for it to end.
  void stopFindingBases();
  // Interface thread: adds a delivered list to the table, or keeps it until a search that adds
  // bases itself has completed. True when the table may have changed.
  bool takeFoundBases(std::vector<FoundBase> bases, bool last);
  // True from startFindingBases until its last list has been taken.
  bool findingBases() const { return findingBases_; }
  // Frees the slots of removed bases that nothing refers to any more: not the selection
  // (currentReader) and not the base a running operation reads. Tree nodes are rebuilt from the
  // table, so a removed base has none. A full table then gives those slots to new bases, so the
  // 500 count the bases present. On the interface thread, while no search runs.
  void releaseRemovedReaders();
  // The Stop command: the operation ends at its next poll, as failed.
  void stopOperation() { stopEvent.set(); }
  // What the completion handler does without the window: the reader's state becomes 1 or 2 on
  // success and is reset on failure; operationRunning is cleared.
  void completeOperation(int message);

  // The completion messages' receiver (the tree view's window); may be set at any time.
  void setCompletionSink(CompletionSink sink) { shared_->setCompletionSink(std::move(sink)); }
  // The search that operations 3 and 4 run for each folder (searchFolder unless replaced).
  void setFolderSearch(FolderSearch search) { shared_->search = std::move(search); }

  // "Creating TempDir(<folder>)" when the document cannot be used; empty otherwise.
  const std::string& startupFailure() const { return startupFailure_; }

  std::optional<bool> commandEnabled(int commandId) const {
    return vireo::commandEnabled(commandId, *this, operationRunning);
  }

  // Writes the preview of readers[currentReader]'s currentRow into tempFolder; previewPath
  // receives the file's path.
  bool writePreviewFile();

  std::string tempFolder;
  std::string exportFolder;
  std::string previewPath;
  bool copyBeforeBrowse = false;
  bool copyBeforeRecover = false;
  bool openStoreAtStart = true;

  std::vector<MessageBaseReader>& readers;
  std::atomic<int>& readerCount;
  int currentReader = kNoReader;
  ProgressSink* progress = nullptr;  // the bar the reading operations drive; none when null
  FreeSpaceQuery freeSpace = freeSpaceOf;  // asked before a copy of a base starts

  ManualResetEvent& stopEvent;
  ManualResetEvent& doneEvent;
  ManualResetEvent& closingEvent;

  int& operation;
  int& operationReader;
  int operationRunning = 0;
  bool& listingStopped;  // the table filled up; no listing adds anything until slots are freed
  std::string& searchArgument;
  int& searchOk;

  // What the worker shares with the document: the table and the search's state.
  WorkerShared& shared() { return *shared_; }
  // Held while the window reads the whole table (a rebuild), so that a search's additions wait.
  std::unique_lock<std::mutex> lockTable() { return std::unique_lock(shared_->tableMutex); }
  // How the last copy of a base ended (operation 5), read once its completion has arrived.
  const PlacedFile& lastCopyPlaced() const { return shared_->copyPlaced; }
  bool lastCopyStopped() const { return shared_->copyStopped; }
  // The search's progress text (message 2028).
  std::string searchProgressText() { return shared_->searchText(); }

 private:
  bool prepareStart();
  bool launch();
  void readSettingsFile(const std::string& file, bool& tempSettled);

  bool searchRunning() const;
  int listedBases() const;
  void addPendingBases();

  DocumentSetup setup_;
  std::string startupFailure_;
  std::unique_ptr<WorkingFolder> ownFolder_;  // when the document made its temp folder
  std::unique_ptr<ExitCleanupFolder> signalCleanup_;
  std::thread thread_;
  std::thread finder_;
  std::atomic<bool> stopFinding_{false};
  bool findingBases_ = false;
  std::vector<std::vector<FoundBase>> pendingBases_;
  int imagesOpened_ = 0;
  int lastImageBases_ = 0;
  int basesBeforeSearch_ = 0;
  int lastSearchAdded_ = 0;
  std::vector<std::string> lastSearchFolders_;
};

}  // namespace vireo

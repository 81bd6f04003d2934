#include "reader/worker.h"

#include <exception>
#include <new>

#include "platform/message_sink.h"
#include "platform/out_of_memory.h"
#include "reader/base_copy.h"

namespace vireo {

std::future<void> handledAlready() {
  std::promise<void> handled;
  handled.set_value();
  return handled.get_future();
}

void ForwardingProgress::connect(ProgressSink* target) {
  std::lock_guard lock(mutex_);
  target_ = target;
}

void ForwardingProgress::setRange(uint32_t maximum) {
  std::lock_guard lock(mutex_);
  if (target_) target_->setRange(maximum);
}

void ForwardingProgress::setStep(int step) {
  std::lock_guard lock(mutex_);
  if (target_) target_->setStep(step);
}

void ForwardingProgress::stepIt() {
  std::lock_guard lock(mutex_);
  if (target_) target_->stepIt();
}

void ForwardingProgress::setPos(uint32_t position) {
  std::lock_guard lock(mutex_);
  if (target_) target_->setPos(position);
}

void ForwardingProgress::setCopying(bool copying) {
  std::lock_guard lock(mutex_);
  if (target_) target_->setCopying(copying);
}

void WorkerShared::setCompletionSink(CompletionSink sink) {
  std::lock_guard lock(sinkMutex_);
  completion_ = std::move(sink);
}

void WorkerShared::beginClosing() {
  std::lock_guard lock(sinkMutex_);
  closingEvent.set();
}

void WorkerShared::deliver(int message) {
  std::future<void> handled;
  {
    std::lock_guard lock(sinkMutex_);
    if (closingEvent.isSet() || !completion_) return;
    handled = completion_(message);
  }
  if (handled.valid()) handled.wait_for(completionTimeout);
}

void WorkerShared::setSearchText(std::string text) {
  std::lock_guard lock(textMutex_);
  searchArgument = std::move(text);
}

std::string WorkerShared::searchText() {
  std::lock_guard lock(textMutex_);
  return searchArgument;
}

namespace {

std::string withoutTrailingSeparator(std::string folder) {
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

// Operation 5. A stopped copy ends silently, as a stopped browse does; the others say how it went.
int runBaseCopy(WorkerShared& shared) {
  const BaseCopyOutcome outcome =
      copyBaseFile(shared.copySource, shared.copyDestination, {&shared.stopEvent, &shared.progress});
  shared.copyPlaced = outcome.placed;
  shared.copyStopped = outcome.end == BaseCopyOutcome::End::stopped;
  switch (outcome.end) {
    case BaseCopyOutcome::End::copied:
      showMessageBox(std::string(kBaseCopiedText) + "\n" + outcome.placed.path +
                     (outcome.placed.placement == Placement::keptBeside
                          ? "\n(" + shared.copyDestination + " holds another file, which was kept)"
                          : outcome.placed.placement == Placement::identical ? "\n(it already held the same bytes)" : ""));
      return 1;
    case BaseCopyOutcome::End::failed:
      showMessageBox(std::string(kCannotCopyBaseText) + "\n" + describeFailure(outcome.reason));
      return 0;
    case BaseCopyOutcome::End::stopped:
      return 0;
  }
  return 0;
}

// Operation 6. A stop ends it silently; a failure and an image without a base are said.
int runImageOpen(WorkerShared& shared) {
  shared.imageOpening = openDiskImage(shared.imagePath, shared.workingFolder, shared.imageNumber,
                                      {&shared.stopEvent, &shared.progress});
  const dbx::OperationOutcome& outcome = shared.imageOpening.outcome;
  switch (outcome.end) {
    case dbx::OperationOutcome::End::completed:
      if (shared.imageOpening.bases.empty()) showMessageBox("No message base was found in " + shared.imagePath);
      return 1;
    case dbx::OperationOutcome::End::stopped:
      return 0;
    case dbx::OperationOutcome::End::outOfMemory:
      showOutOfMemory();
      return 0;
    default:
      showMessageBox("Cannot search disk image " + shared.imagePath + "\n" + describeFailure(outcome.reason));
      return 0;
  }
}

int runOperation(WorkerShared& shared) {
  switch (shared.operation) {
    case kOperationBrowse:
    case kOperationRecover: {
      if (shared.operationReader < 0 || shared.operationReader >= kReaderTableSize) return 0;
      MessageBaseReader& reader = shared.readers[static_cast<size_t>(shared.operationReader)];
      if (reader.state != kStateNotRead) reader.resetReader();
      reader.clearTable();
      reader.progress = &shared.progress;
      reader.stopEvent = &shared.stopEvent;
      reader.recoverMode = shared.operation == kOperationRecover ? kRecoverModeRecover : kRecoverModeBrowse;
      reader.workingFolder = shared.workingFolder;
      reader.openBase(shared.copyFirst);
      return reader.ok;
    }
    case kOperationSearchList:
    case kOperationSearchFolder:
      for (const std::string& folder : searchFolders(shared.operation, shared.searchText()))
        if (shared.search) shared.search(shared, folder);
      return shared.searchOk;
    case kOperationCopyBase:
      return runBaseCopy(shared);
    case kOperationOpenImage:
      return runImageOpen(shared);
    default:
      return 0;
  }
}

}  // namespace

std::vector<std::string> searchFolders(int operation, const std::string& searchArgument) {
  std::vector<std::string> folders;
  if (operation == kOperationSearchFolder) {
    folders.push_back(withoutTrailingSeparator(searchArgument));
  } else if (operation == kOperationSearchList) {
    size_t start = 0;
    while (start <= searchArgument.size()) {
      size_t end = searchArgument.find(';', start);
      if (end == std::string::npos) end = searchArgument.size();
      if (end > start) folders.push_back(withoutTrailingSeparator(searchArgument.substr(start, end - start)));
      start = end + 1;
    }
  }
  return folders;
}

void workerThreadProc(WorkerShared& shared) {
  int result = 0;
  // An exception must not end the process from this thread: it is a failed operation, and one
  // that is not out of memory is a fault of the program, which the user is told of.
  try {
    result = runOperation(shared);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
  } catch (const std::exception& error) {
    showMessageBox(std::string("Vireo could not finish the operation because of an internal error:\n") + error.what());
  } catch (...) {
    showMessageBox("Vireo could not finish the operation because of an internal error.");
  }
  try {
    shared.deliver(result != 0 ? kOperationSucceeded : kOperationFailed);
  } catch (...) {
    // The window could not be told; doneEvent still ends the operation for it.
  }
  shared.doneEvent.set();
}

}  // namespace vireo

#include "reader/document.h"

#include <filesystem>
#include <system_error>

#include "platform/folder_path.h"
#include "platform/message_sink.h"
#include "reader/folder_search.h"
#include "reader/image_open.h"
#include "reader/preview_file.h"
#include "reader/settings.h"
#include "reader/store_discovery.h"
#include "reader/temp_folder.h"

namespace vireo {

DocumentSetup DocumentSetup::forUser() {
  DocumentSetup setup;
  setup.settingsFile = settingsFilePath();
  setup.workingFolderBase = vireo::workingFolderBase();
  setup.exportFolder = defaultExportFolder();
  setup.storeFolders = findStoreFoldersForUser;
  return setup;
}

Document::Document(DocumentSetup setup)
    : shared_(std::make_shared<WorkerShared>()),
      readers(shared_->readers),
      readerCount(shared_->readerCount),
      stopEvent(shared_->stopEvent),
      doneEvent(shared_->doneEvent),
      closingEvent(shared_->closingEvent),
      operation(shared_->operation),
      operationReader(shared_->operationReader),
      listingStopped(shared_->listingStopped),
      searchArgument(shared_->searchArgument),
      searchOk(shared_->searchOk),
      setup_(std::move(setup)) {
  shared_->completionTimeout = setup_.completionTimeout;
  shared_->search = searchFolder;
  bool tempSettled = false;
  if (!setup_.settingsFile.empty()) readSettingsFile(setup_.settingsFile, tempSettled);
  if (!tempSettled && !setup_.fallbackTempFolder.empty()) {
    tempFolder = setup_.fallbackTempFolder;
    tempSettled = makePrivateFolder(tempFolder) == 0;
    if (!tempSettled) showMessageBox("Cannot make temp folder");
  } else if (!tempSettled) {
    const std::string base = setup_.workingFolderBase.empty() ? workingFolderBase() : setup_.workingFolderBase;
    ownFolder_ = std::make_unique<WorkingFolder>(base);
    tempSettled = !ownFolder_->path().empty();
    tempFolder = tempSettled ? ownFolder_->path() : ownFolder_->pattern();
    if (!tempSettled) showMessageBox("Cannot make temp folder");
  }
  // A folder the document did not make is only emptied of its files when a signal ends the run;
  // its own folder is registered by WorkingFolder.
  if (tempSettled && !ownFolder_) signalCleanup_ = std::make_unique<ExitCleanupFolder>(tempFolder, false);
  // The doubled slash is how the name has always been formed; the system reads it as one.
  previewPath = tempFolder + "//letter.mht";
  exportFolder = setup_.exportFolder;
  // Without a temp folder the program cannot go on; the caller shows this and ends.
  if (!tempSettled) startupFailure_ = "Creating TempDir(" + tempFolder + ")";
  for (int i = 0; i < kReaderTableSize; ++i) readers[static_cast<size_t>(i)].readerNumber = i;
  if (startupFailure_.empty() && openStoreAtStart && setup_.addStoreBases) setup_.addStoreBases(*this);
}

void Document::readSettingsFile(const std::string& file, bool& tempSettled) {
  const Settings settings = readSettings(file);
  if (settings.path) {
    tempFolder = *settings.path + "/Temp";
    tempSettled = makePrivateFolder(tempFolder) == 0;
  }
  if (settings.options) {
    copyBeforeBrowse = (*settings.options & kCopyBeforeBrowseBit) != 0;
    copyBeforeRecover = (*settings.options & kCopyBeforeRecoverBit) != 0;
    openStoreAtStart = (*settings.options & kOpenStoreAtStartBit) != 0;
  }
}

Document::~Document() {
  stopFindingBases();
  if (!doneEvent.isSet()) {
    shared_->beginClosing();
    stopEvent.set();
    if (!doneEvent.wait(setup_.closeTimeout)) showMessageBox("Error closing recover thread");
  }
  if (thread_.joinable()) {
    if (doneEvent.isSet()) {
      thread_.join();
    } else {
      // It keeps the shared state alive; only the caller's bar is out of its reach from now on.
      shared_->progress.disconnect();
      thread_.detach();
    }
  }
  for (const char* extension : {".eml", ".mht", ".dbc"}) removeFilesWithExtension(tempFolder, extension);
  ownFolder_.reset();
}

bool Document::prepareStart() {
  if (!doneEvent.isSet()) return false;
  if (thread_.joinable()) thread_.join();  // ended already: it signalled doneEvent last
  return true;
}

bool Document::launch() {
  shared_->progress.connect(progress);
  stopEvent.reset();
  doneEvent.reset();
  closingEvent.reset();
  try {
    thread_ = std::thread([shared = shared_] { workerThreadProc(*shared); });
  } catch (const std::system_error&) {
    doneEvent.set();
    return false;
  }
  operationRunning = 1;
  return true;
}

bool Document::startOperation(int newOperation, int readerIndex) {
  if (newOperation != kOperationBrowse && newOperation != kOperationRecover) return false;
  if (readerIndex < 0 || readerIndex >= kReaderTableSize || !prepareStart()) return false;
  operation = newOperation;
  operationReader = readerIndex;
  shared_->copyFirst = newOperation == kOperationRecover ? copyBeforeRecover : copyBeforeBrowse;
  // A base found in a disk image is already a file of Vireo's own.
  if (readers[static_cast<size_t>(readerIndex)].fromImage) shared_->copyFirst = false;
  shared_->workingFolder = tempFolder;
  return launch();
}

void Document::releaseRemovedReaders() {
  const bool operationReads = !doneEvent.isSet() && (operation == kOperationBrowse || operation == kOperationRecover);
  std::lock_guard lock(shared_->tableMutex);
  shared_->freeSlots.clear();
  for (int i = readerCount - 1; i >= 0; --i) {
    if (!readers[static_cast<size_t>(i)].removed || i == currentReader) continue;
    if (operationReads && i == operationReader) continue;
    shared_->freeSlots.push_back(i);  // taken from the back: the lowest index first
  }
  if (!shared_->freeSlots.empty()) listingStopped = false;
}

bool Document::startSearch(int newOperation, const std::string& argument) {
  if (newOperation != kOperationSearchList && newOperation != kOperationSearchFolder) return false;
  if (!prepareStart()) return false;
  releaseRemovedReaders();
  basesBeforeSearch_ = listedBases();
  lastSearchFolders_ = searchFolders(newOperation, argument);
  operation = newOperation;
  searchArgument = argument;
  searchOk = 1;
  shared_->dirCounter = 100;
  return launch();
}

std::optional<FailureReason> Document::baseCopyRefusal(int readerIndex, const std::string& folder) const {
  if (readerIndex < 0 || readerIndex >= kReaderTableSize) return FailureReason{"no base is selected", {}, {}, {}};
  const MessageBaseReader& reader = readers[static_cast<size_t>(readerIndex)];
  return vireo::baseCopyRefusal(reader.basePath(), folder, folder + "/" + baseFileNameForUser(reader), freeSpace);
}

bool Document::startBaseCopy(int readerIndex, const std::string& folder) {
  if (readerIndex < 0 || readerIndex >= kReaderTableSize || !prepareStart()) return false;
  const MessageBaseReader& reader = readers[static_cast<size_t>(readerIndex)];
  operation = kOperationCopyBase;
  shared_->copySource = reader.basePath();
  shared_->copyDestination = folder + "/" + baseFileNameForUser(reader);
  return launch();
}

bool Document::startImageOpen(const std::string& imagePath) {
  if (imagePath.empty() || !prepareStart()) return false;
  releaseRemovedReaders();
  operation = kOperationOpenImage;
  shared_->imagePath = imagePath;
  // A number whose files a document sharing this temp folder has not taken already.
  std::error_code error;
  do ++imagesOpened_;
  while (std::filesystem::exists(tempFolder + "/" + imageBaseFileName(imagesOpened_, 1), error));
  shared_->imageNumber = imagesOpened_;
  shared_->imageOpening = {};
  shared_->workingFolder = tempFolder;
  lastImageBases_ = 0;
  return launch();
}

void Document::startFindingBases(const std::vector<std::string>& paths, FoundBasesSink deliver) {
  if (finder_.joinable() || findingBases_ || !startupFailure_.empty()) return;
  StoreFolderSource source = openStoreAtStart ? setup_.storeFolders : StoreFolderSource{};
  findingBases_ = true;
  try {
    finder_ = std::thread([this, source = std::move(source), workingFolder = tempFolder, paths,
                           deliver = std::move(deliver)] {
      findStartBases(source, workingFolder, paths, deliver, stopFinding_);
    });
  } catch (const std::system_error&) {
    // Without a thread the bases are found here, as before the window existed.
    findStartBases(source, tempFolder, paths, [this](std::vector<FoundBase> bases, bool last) { takeFoundBases(std::move(bases), last); },
                   stopFinding_);
  }
}

void Document::stopFindingBases() {
  stopFinding_ = true;
  if (finder_.joinable()) finder_.join();
}

bool Document::searchRunning() const {
  return operationRunning && (operation == kOperationSearchList || operation == kOperationSearchFolder);
}

void Document::addPendingBases() {
  for (const std::vector<FoundBase>& bases : pendingBases_) addFoundBases(*this, bases);
  pendingBases_.clear();
}

bool Document::takeFoundBases(std::vector<FoundBase> bases, bool last) {
  if (last) findingBases_ = false;
  if (bases.empty()) return false;
  pendingBases_.push_back(std::move(bases));
  // A search fills the table from the worker meanwhile; the lists wait for its completion.
  if (searchRunning()) return false;
  addPendingBases();
  return true;
}

void Document::completeOperation(int message) {
  if ((operation == kOperationBrowse || operation == kOperationRecover) && operationReader >= 0 &&
      operationReader < kReaderTableSize) {
    MessageBaseReader& reader = readers[static_cast<size_t>(operationReader)];
    if (message == kOperationSucceeded) reader.state = operation == kOperationBrowse ? kStateBrowsed : kStateRecovered;
    else reader.resetReader();
  }
  if (operation == kOperationOpenImage && message == kOperationSucceeded) {
    ImageOpening& opened = shared_->imageOpening;
    lastImageBases_ = listImageBases(*shared_, shared_->imagePath, shared_->imageNumber, tempFolder, opened.bases);
    opened.bases.clear();
  }
  const bool searched = searchRunning();
  operationRunning = 0;
  if (!searched) return;
  // Counted before the start-up's bases that waited for the search join the table.
  lastSearchAdded_ = listedBases() - basesBeforeSearch_;
  addPendingBases();
}

int Document::listedBases() const {
  int listed = 0;
  for (int i = 0; i < readerCount; ++i) listed += readers[static_cast<size_t>(i)].removed ? 0 : 1;
  return listed;
}

bool Document::writePreviewFile() {
  if (currentReader < 0 || currentReader >= kReaderTableSize) return false;
  const MessageBaseReader& reader = readers[static_cast<size_t>(currentReader)];
  return vireo::writePreviewFile(reader, tempFolder, currentReader, reader.currentRow, previewPath);
}

}  // namespace vireo

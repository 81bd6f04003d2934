#include "views/vireo_doc.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "reader/base_listing.h"
#include "reader/message_batch.h"
#include "reader/outcome_text.h"
#include "reader/drive_list.h"
#include "reader/image_open.h"
#include "reader/settings.h"
#include "views/command_table.h"
#include "views/destination_prompt.h"
#include "views/mailbox_saving.h"
#include "views/message_saving.h"
#include "views/modal.h"
#include "views/path_text.h"
#include "views/save_messages_dialog.h"
#include "views/progress_status_bar.h"

namespace vireo::views {
namespace {
constexpr int kStatusPaneWidth = 100;

// One existing file chosen through the modal seam, made absolute; nothing when cancelled.
std::optional<std::filesystem::path> chooseFileToOpen(const QString& title, const std::string& folder,
                                                      const QString& filter) {
  QFileDialog dialog(QApplication::activeWindow(), title, folder.empty() ? QDir::homePath() : pathText(folder),
                     filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (execModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::string chosen = chosenPathBytes(dialog.selectedFiles().constFirst());
  if (chosen.empty()) return std::nullopt;
  std::error_code error;
  std::filesystem::path file = std::filesystem::absolute(chosen, error).lexically_normal();
  if (error) return std::nullopt;
  return file;
}
}  // namespace

CVireoDoc::CVireoDoc(DocumentSetup setup) : Document(setup), settingsFile_(setup.settingsFile) {}

CVireoDoc::~CVireoDoc() {
  if (beforeClosing) beforeClosing();
}

bool CVireoDoc::OnCmdMsg(int commandId) {
  switch (commandId) {
    case command::kSaveAll:
      saveAllMessages();
      return true;
    case command::kSaveAllMbox:
      saveBaseAsMailbox(*this, MailboxForm::mbox, QApplication::activeWindow());
      return true;
    case command::kSaveAllMaildir:
      saveBaseAsMailbox(*this, MailboxForm::maildir, QApplication::activeWindow());
      return true;
    case command::kCopyBase:
      copyBase();
      return true;
    case command::kAddBase:
      addMessageBases();
      return true;
    case command::kOpenBase:
      openMessageBase();
      return true;
    case command::kOpenDiskImage:
      openDiskImage();
      return true;
    case command::kStop:
      stopOperation();
      if (ProgressStatusBar* bar = publishedStatusBar()) bar->SetPaneText(0, QStringLiteral("Stopping..."));
      return true;
    case command::kViewSystemBase:
      showSystemBases = !showSystemBases;
      UpdateAllViews(nullptr, kHintAll);
      return true;
    case command::kViewNewsBase:
      showNewsBases = !showNewsBases;
      UpdateAllViews(nullptr, kHintAll);
      return true;
    case command::kOptions:
      if (!optionsDialog) return false;
      OnOptions();
      return true;
    default:
      return false;
  }
}

std::optional<bool> CVireoDoc::OnUpdateCmdUI(int commandId) {
  if (commandId == command::kOptions) return optionsDialog ? std::optional(true) : std::nullopt;
  if (commandId == command::kOpenBase || commandId == command::kOpenDiskImage) return operationRunning == 0;
  return commandEnabled(commandId);
}

std::optional<bool> CVireoDoc::OnUpdateCmdChecked(int commandId) {
  if (commandId == command::kViewSystemBase) return showSystemBases != 0;
  if (commandId == command::kViewNewsBase) return showNewsBases != 0;
  return std::nullopt;
}

void CVireoDoc::saveAllMessages() {
  if (!isBase(currentReader)) return;
  const int readerIndex = currentReader;
  if (readers[static_cast<size_t>(readerIndex)].count() == 0) return;
  QWidget* parent = QApplication::activeWindow();
  SaveMessagesDialog dialog(parent);
  dialog.description =
      QStringLiteral("Save all messages from \"%1\"")
          .arg(QFile::decodeName(QByteArray::fromStdString(baseFileNameForUser(readers[static_cast<size_t>(readerIndex)]))));
  if (!askDestination(dialog, exportFolder, "Cannot create path", parent)) return;
  const MessageBaseReader& reader = readers[static_cast<size_t>(readerIndex)];
  // An operation started on this base while the dialog was open now owns its table.
  if (operationRunning && operationReader == readerIndex) return;
  const std::vector<int> records = validRecordIndexes(reader);
  const BatchOutcome outcome = saveMessageFiles(reader, records, exportFolder, -1, parent);
  publishOutcome(QFile::decodeName(
      QByteArray::fromStdString(saveOutcomeText(outcome, static_cast<int>(records.size()), exportFolder))));
}

void CVireoDoc::copyBase() {
  if (!isBase(currentReader) || operationRunning) return;
  const int readerIndex = currentReader;
  const std::string baseName = baseFileNameForUser(readers[static_cast<size_t>(readerIndex)]);
  QWidget* parent = QApplication::activeWindow();
  SaveMessagesDialog dialog(parent);
  dialog.title = QStringLiteral("Copy message base");
  dialog.description = QStringLiteral("Copy %1 ").arg(QFile::decodeName(QByteArray::fromStdString(baseName)));
  for (;;) {
    if (!askDestination(dialog, exportFolder, "Error in creating path, enter another folder", parent)) return;
    const std::optional<FailureReason> refusal = baseCopyRefusal(readerIndex, exportFolder);
    if (!refusal) break;
    showModalMessage(parent, QFile::decodeName(QByteArray::fromStdString(std::string(kCannotCopyBaseText) + "\n" +
                                                                           describeFailure(*refusal))));
  }
  // An operation started while the dialog was open goes first; the worker that reported last
  // may still be on its way out.
  if (operationRunning) return;
  if (!doneEvent.isSet() && !doneEvent.wait(std::chrono::seconds(1))) return;
  const std::string folder = exportFolder;
  const auto start = [this, readerIndex, folder] { return startBaseCopy(readerIndex, folder); };
  if (operationStatus ? operationStatus(kOperationCopyBase, baseName, start) : start()) requestCommandRefresh();
}

void CVireoDoc::openMessageBase() {
  if (operationRunning) return;
  const std::optional<std::filesystem::path> chosen =
      chooseFileToOpen(QStringLiteral("Open message base"), openFolder_, QStringLiteral("Message bases (*.dbx)"));
  // A search started meanwhile would be adding to the table too.
  if (!chosen || operationRunning) return;
  const std::filesystem::path& file = *chosen;
  openFolder_ = file.parent_path().string();
  releaseRemovedReaders();
  // A file that is not a base is named in a box; one already listed keeps its entry.
  listStartPaths(*this, {file.string()});
  UpdateAllViews(nullptr, kHintAll);
  if (const int index = readerForFile(file); index >= 0 && selectAndBrowse) selectAndBrowse(index);
  requestCommandRefresh();
}

void CVireoDoc::openDiskImage() {
  if (operationRunning) return;
  // Any file: images carry no one extension. A block device is opened by typing its path.
  const std::optional<std::filesystem::path> chosen =
      chooseFileToOpen(QStringLiteral("Open disk image"), imageFolder_, QStringLiteral("All files (*)"));
  if (!chosen || operationRunning) return;
  const std::filesystem::path& image = *chosen;
  imageFolder_ = image.parent_path().string();
  // The worker that reported last may still be on its way out.
  if (!doneEvent.isSet() && !doneEvent.wait(std::chrono::seconds(1))) return;
  // The image's group opens when it appears.
  expandedFolders.insert(image.string());
  const std::string path = image.string();
  const auto start = [this, path] { return startImageOpen(path); };
  if (operationStatus ? operationStatus(kOperationOpenImage, imageFileName(path), start) : start())
    requestCommandRefresh();
}

int CVireoDoc::readerForFile(const std::filesystem::path& file) const {
  for (int index = 0; index < readerCount; ++index) {
    const MessageBaseReader& reader = readers[static_cast<size_t>(index)];
    if (!reader.removed && reader.baseFolder == file.parent_path().string() &&
        reader.baseName == file.filename().string())
      return index;
  }
  return -1;
}

void CVireoDoc::addMessageBases() {
  if (operationRunning || !searchDialog) return;
  const std::optional<SearchChoice> chosen = searchDialog(fixedDriveList());
  if (!chosen) return;
  int searchOperation = 0;
  std::string argument;
  if (chosen->choice == 2) {
    searchOperation = kOperationSearchList;
    argument = chosen->driveList;
  } else if (chosen->choice == 3) {
    const std::optional<std::string> folder = selectFolder ? selectFolder() : std::nullopt;
    if (!folder || folder->empty()) return;
    searchOperation = kOperationSearchFolder;
    argument = *folder;
  } else {
    return;
  }
  // The worker that reported last may still be on its way out.
  if (!doneEvent.isSet() && !doneEvent.wait(std::chrono::seconds(1))) return;
  ProgressStatusBar* bar = publishedStatusBar();
  if (bar) {
    bar->SetPaneInfo(0, command::kIndicatorKana, kStatusPaneWidth);
    bar->SetPaneText(0, QString());
  }
  if (!startSearch(searchOperation, argument)) {
    if (bar) bar->SetPaneInfo(0, 0, kStatusPaneWidth);
    return;
  }
  requestCommandRefresh();
}

void CVireoDoc::OnOptions() {
  const std::optional<OptionChoice> chosen =
      optionsDialog(OptionChoice{copyBeforeBrowse, copyBeforeRecover, openStoreAtStart});
  if (!chosen) return;
  copyBeforeBrowse = chosen->copyBeforeBrowse;
  copyBeforeRecover = chosen->copyBeforeRecover;
  openStoreAtStart = chosen->openStoreAtStart;
  // Options that cannot be stored stay in force for this run; nothing is shown.
  writeOptions();
}

bool CVireoDoc::writeOptions() {
  return changeSettings([this](Settings& settings) {
    settings.options = optionBits(copyBeforeBrowse, copyBeforeRecover, openStoreAtStart);
  });
}

std::optional<int> CVireoDoc::listShare() const {
  if (settingsFile_.empty()) return std::nullopt;
  const std::optional<uint32_t> share = readSettings(settingsFile_).listShare;
  // A share that leaves either pane nothing is no choice anybody made.
  if (!share || *share < kLeastListShare || *share > 1000 - kLeastListShare) return std::nullopt;
  return static_cast<int>(*share);
}

bool CVireoDoc::writeListShare(int thousandths) {
  return changeSettings([thousandths](Settings& settings) { settings.listShare = static_cast<uint32_t>(thousandths); });
}

bool CVireoDoc::changeSettings(const std::function<void(Settings&)>& change) {
  if (settingsFile_.empty()) return false;
  // A file that exists but cannot be read would be replaced by one without its "Path".
  std::error_code error;
  if (std::filesystem::exists(settingsFile_, error) && !std::ifstream(settingsFile_)) return false;
  if (error) return false;
  Settings settings = readSettings(settingsFile_);
  change(settings);
  return writeSettings(settingsFile_, settings);
}

void CVireoDoc::requestCommandRefresh() const {
  if (commandRefresh) commandRefresh();
}

}  // namespace vireo::views

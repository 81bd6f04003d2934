#include "shell/vireo_app.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QThread>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "reader/start_listing.h"
#include "shell/about_dialog.h"
#include "shell/options_dialog.h"
#include "shell/search_dialog.h"
#include "shell/select_folder.h"
#include "shell/tree_view.h"
#include "views/command_table.h"
#include "views/cross_thread_calls.h"
#include "views/help_window.h"
#include "views/main_frame.h"
#include "views/message_box_bridge.h"
#include "views/modal.h"
#include "views/path_text.h"
#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

CVireoApp* theApp = nullptr;

std::optional<views::OptionChoice> runOptionsDialog(QWidget* owner, const views::OptionChoice& current) {
  OptionsDialog dialog(owner);
  dialog.copyBeforeBrowse = current.copyBeforeBrowse;
  dialog.copyBeforeRecover = current.copyBeforeRecover;
  dialog.openStoreAtStart = current.openStoreAtStart;
  if (dialog.DoModal() != QDialog::Accepted) return std::nullopt;
  return views::OptionChoice{dialog.copyBeforeBrowse != 0, dialog.copyBeforeRecover != 0,
                             dialog.openStoreAtStart != 0};
}

std::optional<views::SearchChoice> runSearchDialog(QWidget* owner, const std::string& driveList) {
  SearchDialog dialog(owner);
  dialog.driveList = views::pathText(driveList);
  if (dialog.DoModal() != QDialog::Accepted) return std::nullopt;
  return views::SearchChoice{dialog.choice, views::pathBytes(dialog.driveList)};
}

std::optional<std::string> runSelectFolder(QWidget* owner) {
  const std::optional<QString> folder = selectFolder(owner);
  if (!folder) return std::nullopt;
  return views::chosenPathBytes(*folder);
}

}  // namespace

CVireoApp::CVireoApp(QObject* parent) : QObject(parent) {
  theApp = this;
  // Beside the program in a build tree; under share/vireo/ once installed.
  const QString programFolder = QCoreApplication::applicationDirPath();
  helpFile = programFolder + QStringLiteral("/help/index.html");
  const QString installedGuide = programFolder + QStringLiteral("/../share/vireo/help/index.html");
  if (!QFileInfo::exists(helpFile) && QFileInfo::exists(installedGuide))
    helpFile = QFileInfo(installedGuide).canonicalFilePath();
}

CVireoApp::~CVireoApp() {
  // A worker waiting for its box must not keep the tree, which awaits it, from closing.
  if (bridge_) bridge_->beginClosing();
  // The finding thread posts through calls_: it ends first, and what it posted is dropped.
  if (document_) document_->stopFindingBases();
  calls_.reset();
  frame_.reset();
  document_.reset();
  bridge_.reset();
  if (theApp == this) theApp = nullptr;
}

CVireoApp* CVireoApp::instance() { return theApp; }

void CVireoApp::ParseCommandLine(const std::vector<std::string>& arguments) {
  startPaths_.clear();
  for (const std::string& argument : arguments)
    if (!argument.empty()) startPaths_.push_back(argument);
}

void CVireoApp::ParseCommandLine(const QStringList& arguments) {
  std::vector<std::string> bytes;
  for (const QString& argument : arguments) bytes.push_back(views::pathBytes(argument));
  ParseCommandLine(bytes);
}

bool CVireoApp::InitInstance(DocumentSetup setup) {
  handCursor = QCursor(Qt::PointingHandCursor);
  // Messages of the document's construction already come as boxes.
  bridge_ = std::make_unique<views::MessageBoxBridge>();

  // A document without a temp folder cannot be used: its reason is shown, and the program ends
  // with status 1.
  document_ = std::make_unique<views::CVireoDoc>(std::move(setup));
  if (!document_->startupFailure().empty()) {
    showMessageBox(document_->startupFailure());
    document_.reset();
    bridge_.reset();
    return false;
  }

  views::MessageBoxBridge* bridge = bridge_.get();
  document_->beforeClosing = [bridge] { bridge->beginClosing(); };

  frame_ = std::make_unique<views::C3WaySplitter_1>();
  frame_->resize(frameSize.isValid() ? frameSize : defaultFrameSize());
  views::CCreateContext context{document_.get(), [](views::CVireoDoc* document, QWidget* parent) {
                                  return static_cast<views::CView*>(new CTreeView_1(document, parent));
                                }};
  if (!frame_->LoadFrame(context)) {
    frame_.reset();
    document_.reset();
    return false;
  }
  frame_->setApplicationTarget(this);
  bridge_->setOwner(frame_.get());
  connect(frame_.get(), &views::C3WaySplitter_1::closing, this, [bridge] { bridge->beginClosing(); });
  views::C3WaySplitter_1* frame = frame_.get();
  document_->optionsDialog = [frame](const views::OptionChoice& current) {
    return runOptionsDialog(frame, current);
  };
  document_->searchDialog = [frame](const std::string& driveList) { return runSearchDialog(frame, driveList); };
  document_->selectFolder = [frame] { return runSelectFolder(frame); };

  for (const std::string& path : startPaths_)
    if (std::string folder = startPathFolder(path); !folder.empty()) document_->expandedFolders.insert(std::move(folder));
  frame_->InitialUpdateFrame();
  frame_->show();

  // The window is up; the store folders and the paths of the command line are found on a thread
  // of their own, and the tree grows as each folder's bases arrive here.
  calls_ = std::make_unique<views::CrossThreadCalls>();
  views::CrossThreadCalls* calls = calls_.get();
  views::CVireoDoc* document = document_.get();
  // One base file named alone is what a file manager's "Open with Vireo" gives: it is selected and
  // browsed once listed. Judged by the listing, not by a look at the disk from this thread: a
  // folder is never listed as a base.
  std::filesystem::path openedFile;
  std::error_code error;
  if (browseSingleStartBase && startPaths_.size() == 1) openedFile = std::filesystem::absolute(startPaths_[0], error).lexically_normal();
  if (error) openedFile.clear();
  document_->startFindingBases(startPaths_, [calls, document, openedFile](std::vector<FoundBase> bases, bool last) {
    calls->post([document, bases = std::move(bases), last, openedFile]() mutable {
      const bool changed = document->takeFoundBases(std::move(bases), last);
      if (changed) document->UpdateAllViews(nullptr, 0);
      if (!last) return;
      document->requestCommandRefresh();
      if (openedFile.empty() || !document->selectAndBrowse) return;
      if (const int index = document->readerForFile(openedFile); index >= 0) document->selectAndBrowse(index);
    });
  });
  return true;
}

bool CVireoApp::waitForStartBases(std::chrono::milliseconds timeout) {
  QDeadlineTimer deadline(timeout);
  while (document_ && document_->findingBases()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  return true;
}

QSize CVireoApp::defaultFrameSize() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {1024, 700};
  const QSize available = screen->availableSize();
  return {std::max(640, available.width() * 3 / 4), std::max(480, available.height() * 3 / 4)};
}

void CVireoApp::WinHelp(quintptr, unsigned) {
  // Vireo's own window, not a browser: a desktop may have none that runs.
  views::HelpWindow::showGuide(helpFile, frame_.get());
}

void CVireoApp::OnAppAbout() {
  AboutDialog dialog(frame_.get());
  views::execModal(dialog);
}

bool CVireoApp::OnCmdMsg(int commandId) {
  switch (commandId) {
    case command::kAppAbout:
      OnAppAbout();
      return true;
    case command::kHelpFinder:
    case command::kHelp:
    case command::kContextHelp:
    case command::kDefaultHelp:
      WinHelp(0, 0);
      return true;
    default:
      return false;
  }
}

std::optional<bool> CVireoApp::OnUpdateCmdUI(int commandId) {
  switch (commandId) {
    case command::kAppAbout:
    case command::kHelpFinder:
    case command::kHelp:
    case command::kContextHelp:
    case command::kDefaultHelp:
      return true;
    default:
      return std::nullopt;
  }
}

}  // namespace vireo::shell

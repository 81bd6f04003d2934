#pragma once
// The application object: builds the document, the main window and its panes at start-up, owns
// them for the run, handles the application's commands (About, the help commands) and keeps
// the paths given on the command line for the tree to list.
#include <QCursor>
#include <QObject>
#include <QSize>
#include <chrono>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/document.h"
#include "views/doc_view.h"

namespace vireo::views {
class C3WaySplitter_1;
class CrossThreadCalls;
class CVireoDoc;
class MessageBoxBridge;
}  // namespace vireo::views

namespace vireo::shell {

class CVireoApp : public QObject, public views::CCmdTarget {
  Q_OBJECT

 public:
  // After the QApplication; one at a time.
  explicit CVireoApp(QObject* parent = nullptr);
  // Closes the window, then the document (which stops a running worker).
  ~CVireoApp() override;

  static CVireoApp* instance();

  // vireo [PATH...]: every argument Qt left is a base or folder to list at start-up, as the bytes
  // the system gave (argv after the QApplication took its own options).
  void ParseCommandLine(const std::vector<std::string>& arguments);
  // The same from texts (tests, tools): each becomes bytes through views::pathBytes.
  void ParseCommandLine(const QStringList& arguments);
  const std::vector<std::string>& startPaths() const { return startPaths_; }

  // Builds the document, the frame and the panes, runs the views' initial update and shows the
  // window, then starts finding the store folders' bases and those of the command line, which
  // join the tree as they are found. False when the program should end at once (status 1).
  bool InitInstance(DocumentSetup setup = DocumentSetup::forUser());

  // Processes events until the start-up's bases have all joined the table (tests and tools
  // that need them listed); false when that took longer than timeout.
  bool waitForStartBases(std::chrono::milliseconds timeout = std::chrono::seconds(60));

  // Every help request ends here: opens the user guide; nothing happens when it cannot.
  void WinHelp(quintptr data = 0, unsigned command = 0);
  // "About Vireo...".
  void OnAppAbout();

  bool OnCmdMsg(int commandId) override;
  std::optional<bool> OnUpdateCmdUI(int commandId) override;

  views::CVireoDoc* document() const { return document_.get(); }
  views::C3WaySplitter_1* mainWindow() const { return frame_.get(); }

  // The hyperlink labels' cursor; none: they keep the default one.
  std::optional<QCursor> handCursor;
  // The user guide, copied beside the executable by the build.
  QString helpFile;
  // The main window's size when it is made; invalid: three quarters of the screen.
  QSize frameSize;
  // A base file named alone on the command line is selected and browsed once listed (what a file
  // manager's "Open with" expects). Tests that drive the window step by step turn it off.
  bool browseSingleStartBase = true;

 private:
  QSize defaultFrameSize() const;

  std::vector<std::string> startPaths_;
  // Destroyed in reverse: the window, then the document, then the message boxes' bridge.
  std::unique_ptr<views::MessageBoxBridge> bridge_;
  std::unique_ptr<views::CVireoDoc> document_;
  std::unique_ptr<views::C3WaySplitter_1> frame_;
  // Carries the start-up's found bases to this thread.
  std::unique_ptr<views::CrossThreadCalls> calls_;
};

}  // namespace vireo::shell

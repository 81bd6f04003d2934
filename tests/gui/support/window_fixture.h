#pragma once
// The real window, built offscreen the way the program builds it, over a scratch folder of its
// own: settings file, temp folder and export folder. Every modal box and dialog is answered
// while a fixture lives (OK for boxes, Cancel for dialogs) unless a test answers otherwise.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/modal_answer.h"
#include "reader/document.h"

namespace vireo::shell {
class CVireoApp;
}
namespace vireo::views {
class C3WaySplitter_1;
class CVireoDoc;
}  // namespace vireo::views

namespace vireo::guitest {

// What a modal request asked, kept after the request's dialog is gone.
struct AskedModal {
  ModalKind kind;
  std::string caption;
  std::string text;
};

// Answers modal requests while it lives, and records them. The answer function may inspect and
// fill the dialog (request.dialog is a QDialog*); nullopt from it means the default answer.
class ModalAnswers {
 public:
  using Answer = std::function<std::optional<int>(const ModalRequest& request)>;
  explicit ModalAnswers(Answer answer = {});
  ~ModalAnswers();
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  void setAnswer(Answer answer);
  std::vector<AskedModal> asked() const;
  std::vector<std::string> messageTexts() const;

 private:
  struct Shared {
    std::mutex mutex;
    Answer answer;
    std::vector<AskedModal> asked;
  };
  std::shared_ptr<Shared> shared_;
  ModalAnswerer previous_;
};

// A DocumentSetup whose files all lie in folder.
DocumentSetup scratchSetup(const QString& folder);

class WindowFixture {
 public:
  // storedOptions: an "options" value written to the settings file first; commandLine: the
  // arguments of "vireo [PATH...]", given to ParseCommandLine before the start-up; settingsLines:
  // more "key=value" lines of the settings file.
  explicit WindowFixture(std::optional<unsigned> storedOptions = std::nullopt, const QStringList& commandLine = {},
                         const QByteArray& settingsLines = {});
  ~WindowFixture();

  shell::CVireoApp& app() { return *app_; }
  views::C3WaySplitter_1& frame();
  views::CVireoDoc& doc();
  ModalAnswers& modals() { return modals_; }
  QString folder() const { return dir_.path(); }
  QString settingsFile() const { return dir_.path() + QStringLiteral("/Vireo.conf"); }
  // Closes the window and destroys the document, as the end of the program does.
  void closeApp();
  bool started() const { return started_; }

 private:
  QTemporaryDir dir_;
  ModalAnswers modals_;
  std::unique_ptr<shell::CVireoApp> app_;
  bool started_ = false;
};

// The samples folder of the source tree.
QString samplesFolder();

}  // namespace vireo::guitest

#include "tests/gui/support/window_fixture.h"

#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QtTest>

#include "shell/vireo_app.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {

ModalAnswers::ModalAnswers(Answer answer) : shared_(std::make_shared<Shared>()) {
  shared_->answer = std::move(answer);
  previous_ = setModalAnswerer([shared = shared_](const ModalRequest& request) -> std::optional<int> {
    Answer answer;
    {
      std::lock_guard lock(shared->mutex);
      shared->asked.push_back({request.kind, request.caption, request.text});
      answer = shared->answer;
    }
    if (answer)
      if (const std::optional<int> given = answer(request)) return given;
    return request.kind == ModalKind::MessageBox ? int{QMessageBox::Ok} : int{QDialog::Rejected};
  });
}

ModalAnswers::~ModalAnswers() { setModalAnswerer(std::move(previous_)); }

void ModalAnswers::setAnswer(Answer answer) {
  std::lock_guard lock(shared_->mutex);
  shared_->answer = std::move(answer);
}

std::vector<AskedModal> ModalAnswers::asked() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->asked;
}

std::vector<std::string> ModalAnswers::messageTexts() const {
  std::vector<std::string> texts;
  for (const AskedModal& asked : asked())
    if (asked.kind == ModalKind::MessageBox) texts.push_back(asked.text);
  return texts;
}

DocumentSetup scratchSetup(const QString& folder) {
  DocumentSetup setup;
  setup.settingsFile = (folder + QStringLiteral("/Vireo.conf")).toStdString();
  setup.fallbackTempFolder = (folder + QStringLiteral("/temp")).toStdString();
  setup.exportFolder = (folder + QStringLiteral("/export")).toStdString();
  return setup;
}

WindowFixture::WindowFixture(std::optional<unsigned> storedOptions, const QStringList& commandLine,
                             const QByteArray& settingsLines) {
  if (storedOptions || !settingsLines.isEmpty()) {
    QFile settings(settingsFile());
    if (settings.open(QIODevice::WriteOnly)) {
      settings.write("[Vireo]\n");
      if (storedOptions) settings.write(QStringLiteral("options=%1\n").arg(*storedOptions).toUtf8());
      settings.write(settingsLines);
    }
  }
  app_ = std::make_unique<shell::CVireoApp>();
  app_->frameSize = QSize(1000, 700);
  app_->browseSingleStartBase = false;  // each test browses when it means to
  app_->ParseCommandLine(commandLine);
  started_ = app_->InitInstance(scratchSetup(dir_.path())) && app_->waitForStartBases();
}

WindowFixture::~WindowFixture() { app_.reset(); }

void WindowFixture::closeApp() { app_.reset(); }

views::C3WaySplitter_1& WindowFixture::frame() { return *app_->mainWindow(); }
views::CVireoDoc& WindowFixture::doc() { return *app_->document(); }

QString samplesFolder() { return qEnvironmentVariable("VIREO_SOURCE_DIR") + QStringLiteral("/samples"); }

}  // namespace vireo::guitest

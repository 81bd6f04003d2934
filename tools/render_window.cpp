// vireo-render-window OUTPUT.png [--row N] [--no-browse] [--save] [BASE...]: builds the real main
// window offscreen at 1100 x 700, with the given bases listed and the first of them browsed and
// selected, and writes a picture of it. With --row, the list's row N (from 0) is selected and the
// picture waits for its preview to load. --no-browse selects the first base without browsing it;
// --save chooses "Save as *.eml" on the selected message and pictures its dialog over the window.
// Settings are not read and the temp folder is a private one of this run, so the picture does not
// depend on the user's setup.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QPainter>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/modal_answer.h"
#include "reader/command_availability.h"
#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "shell/vireo_app.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"
#include "views/web_engine_setup.h"

namespace {

// Selects the first base of the table in the tree and, with browse, browses it, as a user would,
// through the tree's Browse command, then waits for the worker's completion to be handled.
void selectFirstBase(vireo::shell::CVireoApp& app, bool browse) {
  auto* tree = dynamic_cast<vireo::shell::CTreeView_1*>(app.mainWindow()->treeView());
  if (!tree) return;
  const QModelIndex base = tree->baseModel()->findBase(0);
  if (!base.isValid()) return;
  tree->setFocus();
  tree->expand(base.parent());
  tree->setCurrentIndex(base);
  if (!browse || !app.mainWindow()->routeCommand(vireo::command::kBrowse)) return;
  QElapsedTimer waited;
  waited.start();
  while (app.document()->operationRunning != 0 && waited.elapsed() < 60000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
}

// Makes the list's row current, as a click would, and waits until its preview has loaded.
bool previewRow(vireo::shell::CVireoApp& app, int row) {
  vireo::views::CListView_1* list = app.mainWindow()->listView();
  vireo::views::CHtmlView_1* preview = app.mainWindow()->htmlView();
  if (row < 0 || row >= list->model()->rowCount()) return false;
  bool loaded = false;
  const QMetaObject::Connection watch = QObject::connect(
      preview, &vireo::views::CHtmlView_1::documentComplete,
      [&loaded, preview](bool ok) { loaded = ok && preview->shownPage() == vireo::views::CHtmlView_1::Page::Message; });
  // The row the list selected by itself is shown again, as any update of the pane does. Loads
  // finished before the message's page (the start page's) do not count.
  if (list->currentIndex().row() == row) app.document()->UpdateAllViews(nullptr, vireo::kHintPreview);
  else list->setCurrentIndex(list->model()->index(row, 0));
  QElapsedTimer waited;
  waited.start();
  // The message is rendered on the pane's worker first; its page is the one to wait for.
  while (!(loaded && !preview->previewPending() && preview->browser()->url() == preview->pageUrl()) &&
         waited.elapsed() < 60000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  QObject::disconnect(watch);
  return loaded;
}

// The window with a dialog drawn over its middle, framed and titled as a desktop would.
QPixmap withDialog(QWidget& window, QDialog& dialog) {
  dialog.adjustSize();
  dialog.resize(std::max(dialog.width(), 480), dialog.height());
  for (int round = 0; round < 5; ++round) QApplication::processEvents();
  QPixmap picture = window.grab();
  const QPixmap inside = dialog.grab();
  constexpr int kTitleHeight = 26;
  const QRect frame(QPoint((picture.width() - inside.width()) / 2, (picture.height() - inside.height()) / 2 - kTitleHeight),
                    QSize(inside.width(), inside.height() + kTitleHeight));
  QPainter painter(&picture);
  painter.fillRect(frame.adjusted(3, 3, 3, 3), QColor(0, 0, 0, 60));
  painter.fillRect(QRect(frame.topLeft(), QSize(frame.width(), kTitleHeight)), QColor(0x3c, 0x4a, 0x5c));
  painter.setPen(Qt::white);
  painter.drawText(QRect(frame.topLeft() + QPoint(10, 0), QSize(frame.width() - 20, kTitleHeight)),
                   Qt::AlignVCenter | Qt::AlignLeft, dialog.windowTitle());
  painter.drawPixmap(frame.topLeft() + QPoint(0, kTitleHeight), inside);
  painter.setPen(QColor(0x3c, 0x4a, 0x5c));
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vireo-render-window OUTPUT.png [--row N] [BASE...]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  vireo::views::prepareWebEngine();
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vireo.svg")));
  const QString output = QString::fromLocal8Bit(argv[1]);

  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::fprintf(stderr, "vireo-render-window: cannot make a scratch folder\n");
    return 1;
  }
  vireo::DocumentSetup setup;
  setup.fallbackTempFolder = (scratch.path() + QStringLiteral("/temp")).toStdString();
  setup.exportFolder = (scratch.path() + QStringLiteral("/export")).toStdString();

  vireo::shell::CVireoApp app;
  app.frameSize = QSize(1100, 700);
  QStringList bases;
  int row = -1;
  bool browse = true;
  bool save = false;
  for (int i = 2; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--row" && i + 1 < argc) row = std::atoi(argv[++i]);
    else if (std::string_view(argv[i]) == "--no-browse") browse = false;
    else if (std::string_view(argv[i]) == "--save") save = true;
    else bases.append(QString::fromLocal8Bit(argv[i]));
  }
  // The folder the dialog offers, as a user's would look; nothing is written there.
  if (save) setup.exportFolder = (QDir::homePath() + QStringLiteral("/Mail backup")).toStdString();
  app.ParseCommandLine(bases);
  if (!app.InitInstance(setup) || !app.waitForStartBases()) return 1;

  if (!bases.isEmpty()) selectFirstBase(app, browse);
  if (row >= 0 && !previewRow(app, row)) {
    std::fprintf(stderr, "vireo-render-window: row %d could not be shown\n", row);
    return 1;
  }
  // Let the layouts settle and the first paint happen before the picture is taken; the web
  // engine paints a loaded page a few frames later.
  QElapsedTimer settling;
  settling.start();
  while (settling.elapsed() < (row >= 0 ? 500 : 0)) QApplication::processEvents(QEventLoop::AllEvents, 20);
  for (int round = 0; round < 5; ++round) QApplication::processEvents();
  if (save) {
    // The dialog is pictured when it asks, then cancelled: nothing is saved.
    bool pictured = false;
    const vireo::ModalAnswerer previous = vireo::setModalAnswerer([&](const vireo::ModalRequest& request) -> std::optional<int> {
      if (request.kind != vireo::ModalKind::Dialog || !request.dialog) return QDialog::Rejected;
      auto* dialog = static_cast<QDialog*>(request.dialog);
      dialog->show();
      pictured = withDialog(*app.mainWindow(), *dialog).save(output);
      dialog->hide();
      return QDialog::Rejected;
    });
    app.mainWindow()->SetActiveView(app.mainWindow()->listView());
    app.mainWindow()->routeCommand(vireo::command::kSaveSelected);
    vireo::setModalAnswerer(previous);
    if (!pictured) {
      std::fprintf(stderr, "vireo-render-window: no save dialog to picture in %s\n", argv[1]);
      return 1;
    }
    return 0;
  }
  if (!app.mainWindow()->grab().save(output)) {
    std::fprintf(stderr, "vireo-render-window: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

// vireo-render-window OUTPUT.png [BASE...]: builds the real main window offscreen at 1100 x 700,
// with the given bases listed and the first of them browsed and selected, and writes a picture of
// it. Settings are not read and the temp folder is a private one of this run, so the picture does
// not depend on the user's setup.
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QTemporaryDir>
#include <cstdio>

#include "reader/command_availability.h"
#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "shell/vireo_app.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace {

// Selects the first base of the table in the tree and browses it, as a user would, through the
// tree's Browse command, then waits for the worker's completion to be handled.
void browseFirstBase(vireo::shell::CVireoApp& app) {
  auto* tree = dynamic_cast<vireo::shell::CTreeView_1*>(app.mainWindow()->treeView());
  if (!tree) return;
  const QModelIndex base = tree->baseModel()->findBase(0);
  if (!base.isValid()) return;
  tree->setFocus();
  tree->expand(base.parent());
  tree->setCurrentIndex(base);
  if (!app.mainWindow()->routeCommand(vireo::command::kBrowse)) return;
  QElapsedTimer waited;
  waited.start();
  while (app.document()->operationRunning != 0 && waited.elapsed() < 60000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vireo-render-window OUTPUT.png [BASE...]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
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
  for (int i = 2; i < argc; ++i) bases.append(QString::fromLocal8Bit(argv[i]));
  app.ParseCommandLine(bases);
  if (!app.InitInstance(setup)) return 1;

  if (argc > 2) browseFirstBase(app);
  // Let the layouts settle and the first paint happen before the picture is taken.
  for (int round = 0; round < 5; ++round) QApplication::processEvents();
  if (!app.mainWindow()->grab().save(output)) {
    std::fprintf(stderr, "vireo-render-window: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

// vireo [PATH...]: the window. Each path (a base or a folder of bases) is listed in the tree at
// start-up.
#include <QApplication>
#include <QIcon>

#include "platform/exit_cleanup.h"
#include "shell/vireo_app.h"
#include "views/web_engine_setup.h"

int main(int argc, char** argv) {
  vireo::installExitSignalCleanup();  // Ctrl-C or a kill leaves no working folder behind
  // The preview's scheme and the engine's switches must be settled before the application exists.
  vireo::views::prepareWebEngine();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vireo"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vireo.svg")));

  vireo::shell::CVireoApp app;
  app.ParseCommandLine(QApplication::arguments().mid(1));
  if (!app.InitInstance()) return 1;
  return QApplication::exec();
}

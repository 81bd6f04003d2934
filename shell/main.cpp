// vireo [PATH...]: the window. Each path (a base or a folder of bases) is listed in the tree at
// start-up.
#include <QApplication>
#include <QIcon>
#include <algorithm>
#include <string>
#include <vector>

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
  // The paths as the system gave them: arguments() would decode them, and a name that is not
  // UTF-8 would name another file. The QApplication has removed its own options from argv.
  app.ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  if (!app.InitInstance()) return 1;
  return QApplication::exec();
}

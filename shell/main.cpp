// vireo [PATH...]: the window. Each path (a base or a folder of bases) is listed in the tree at
// start-up.
#include <QApplication>
#include <QIcon>

#include "shell/vireo_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vireo"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vireo.svg")));

  vireo::shell::CVireoApp app;
  app.ParseCommandLine(QApplication::arguments().mid(1));
  if (!app.InitInstance()) return 1;
  return QApplication::exec();
}

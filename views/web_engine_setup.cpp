#include "views/web_engine_setup.h"

#include <unistd.h>

#include <QWebEngineUrlScheme>
#include <cstdio>

namespace vireo::views {

void prepareWebEngine() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;

  QWebEngineUrlScheme scheme(kPreviewScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  // Pages from elsewhere may not load the preview's pages or parts.
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme);
  QWebEngineUrlScheme::registerScheme(scheme);

  // Chromium refuses to start as root with its sandbox on.
  if (::geteuid() == 0) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("vireo: running as root: the web engine's sandbox is off\n", stderr);
  }
  // The offscreen platform (tests, the window renderer) has no GPU to probe.
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --disable-gpu").trimmed());
  }
}

}  // namespace vireo::views

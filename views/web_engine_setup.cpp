#include "views/web_engine_setup.h"

#include <unistd.h>

#include <QLoggingCategory>
#include <QWebEngineUrlScheme>
#include <cstdio>

namespace vireo::views {

void prepareWebEngine() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;

  QWebEngineUrlScheme scheme(kPreviewScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  // No flags: as a "local" scheme its pages could not even ask for remote content, so the
  // request guard would never see it blocked and could not say so.
  scheme.setFlags({});
  QWebEngineUrlScheme::registerScheme(scheme);

  // The engine describes its set-up on every start; the user has no use for it.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));

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

#include "views/desktop_handoff.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace vireo::views {
namespace {

DesktopHandoff& handoffSlot() {
  static DesktopHandoff handoff;
  return handoff;
}

}  // namespace

DesktopHandoff setDesktopHandoff(DesktopHandoff handoff) {
  DesktopHandoff previous = std::move(handoffSlot());
  handoffSlot() = std::move(handoff);
  return previous;
}

bool openWithDesktop(const QUrl& url) {
  if (const auto& open = handoffSlot().openUrl) return open(url);
  return QDesktopServices::openUrl(url);
}

bool startDesktopProgram(const QString& program, const QStringList& arguments) {
  if (const auto& start = handoffSlot().startProgram) return start(program, arguments);
  return QProcess::startDetached(program, arguments);
}

QString desktopOpenFailureReason() {
  // Qt hands files to the desktop through xdg-open unless the desktop session offers its own way.
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
    return QStringLiteral("xdg-open, which hands files to the desktop's programs, is not installed.");
  return QStringLiteral("The desktop has no program set for .eml files, or could not start it.");
}

}  // namespace vireo::views

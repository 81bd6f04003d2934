#pragma once
// Everything Vireo hands to the desktop (a file or link to its handler, a program started on its
// own) goes through here, so tests can make the desktop fail and see what the user would see.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace vireo::views {

struct DesktopHandoff {
  // QDesktopServices::openUrl by default: false when the desktop could not hand it on.
  std::function<bool(const QUrl& url)> openUrl;
  // QProcess::startDetached by default: false when the program could not be started.
  std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
};

// Installs stand-ins (an empty member keeps the desktop's) and returns the previous ones.
DesktopHandoff setDesktopHandoff(DesktopHandoff handoff);

bool openWithDesktop(const QUrl& url);
bool startDesktopProgram(const QString& program, const QStringList& arguments);

// Why openWithDesktop may have failed, as far as can be told afterwards: said to the user beside
// the file that was written.
QString desktopOpenFailureReason();

}  // namespace vireo::views

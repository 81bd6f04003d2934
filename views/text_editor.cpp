#include "views/text_editor.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include "views/desktop_handoff.h"

namespace vireo::views {
namespace {

constexpr int kQueryWaitMs = 3000;

TextEditorLookup& lookupSlot() {
  static TextEditorLookup lookup;
  return lookup;
}

// The Exec value of a .desktop file's [Desktop Entry] group.
QString execLineOf(const QString& desktopFile) {
  QFile file(desktopFile);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&file);
  bool inEntry = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) inEntry = line == QLatin1String("[Desktop Entry]");
    else if (inEntry && line.startsWith(QLatin1String("Exec="))) return line.mid(5).trimmed();
  }
  return {};
}

}  // namespace

std::optional<QStringList> textEditorCommand(const QString& path) {
  if (const TextEditorLookup& lookup = lookupSlot()) return lookup(path);
  return desktopTextEditorCommand(path);
}

TextEditorLookup setTextEditorLookup(TextEditorLookup lookup) {
  TextEditorLookup previous = std::move(lookupSlot());
  lookupSlot() = std::move(lookup);
  return previous;
}

std::optional<QStringList> desktopTextEditorCommand(const QString& path) {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
  if (!query.waitForFinished(kQueryWaitMs) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
    return std::nullopt;
  const QString entry = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
  if (entry.isEmpty() || entry.contains(QLatin1Char('/'))) return std::nullopt;
  const QString desktopFile = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
  if (desktopFile.isEmpty()) return std::nullopt;
  const QStringList command = execLineCommand(execLineOf(desktopFile), path);
  if (command.isEmpty()) return std::nullopt;
  return command;
}

QStringList execLineCommand(const QString& execLine, const QString& path) {
  QStringList command;
  bool fileGiven = false;
  for (const QString& word : QProcess::splitCommand(execLine)) {
    if (word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%u") ||
        word == QLatin1String("%U")) {
      command << path;
      fileGiven = true;
    } else if (word == QLatin1String("%i") || word == QLatin1String("%c") || word == QLatin1String("%k")) {
      continue;
    } else {
      command << QString(word).replace(QLatin1String("%%"), QLatin1String("%"));
    }
  }
  if (command.isEmpty()) return {};
  if (!fileGiven) command << path;
  return command;
}

bool startTextEditor(const QString& path) {
  const std::optional<QStringList> command = textEditorCommand(path);
  if (!command || command->isEmpty()) return false;
  return startDesktopProgram(command->first(), command->mid(1));
}

}  // namespace vireo::views

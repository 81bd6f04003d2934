#pragma once
// The desktop's text editor: the program set for text/plain (xdg-mime names its .desktop file),
// started on a file with that entry's Exec line. Behind a seam, so tests can pretend there is
// an editor or none.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vireo::views {

// Program and arguments that open path in a text editor; nullopt when none is set.
using TextEditorLookup = std::function<std::optional<QStringList>(const QString& path)>;

// Through the installed lookup, else the desktop's.
std::optional<QStringList> textEditorCommand(const QString& path);
// Installs a lookup (empty: the desktop's again) and returns the previous one.
TextEditorLookup setTextEditorLookup(TextEditorLookup lookup);

// The desktop's: `xdg-mime query default text/plain`, that entry's Exec line.
std::optional<QStringList> desktopTextEditorCommand(const QString& path);

// A desktop entry's Exec line made a command for one file: the file replaces %f, %F, %u or %U
// (or is added at the end when the line has none of them), %i, %c and %k are dropped, %% is %.
QStringList execLineCommand(const QString& execLine, const QString& path);

// Starts the editor on path, detached; false when there is none or it could not be started.
bool startTextEditor(const QString& path);

}  // namespace vireo::views

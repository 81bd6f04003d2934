#pragma once
// Paths are bytes; Qt's widgets want text. A path crosses into a QString and back through these
// two, so whatever the user leaves as it was comes back as the same bytes. QFile::decodeName
// does not: Qt 6 decodes file names as UTF-8 and turns every byte that is not UTF-8 (a Latin-1
// "Caf\xe9") into U+FFFD, which names another file. Here such a byte b becomes the lone
// surrogate U+DC00 + b (as Python's "surrogateescape" does), which no valid UTF-8 text holds,
// and becomes b again on the way back. Text that is valid UTF-8 converts as QString::fromUtf8.
#include <QString>
#include <string>
#include <string_view>

namespace vireo::views {

QString pathText(std::string_view bytes);
std::string pathBytes(const QString& text);

// A path Qt's own file dialogs chose: they read folder names through QFile::decodeName, so a
// byte that is not UTF-8 arrives as U+FFFD. Each such step is matched again against the names
// its folder holds, as bytes; a step that matches none or several is kept as it came.
std::string chosenPathBytes(const QString& chosen);

}  // namespace vireo::views

#include "views/path_text.h"

#include <dirent.h>

#include <QFile>
#include <memory>

namespace vireo::views {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence starting at bytes[at], or 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF are not).
size_t validSequence(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

}  // namespace

QString pathText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = validSequence(bytes, at);
    if (length == 0) {
      text.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at]))));
      ++at;
      continue;
    }
    text.append(QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length)));
    at += length;
  }
  return text;
}

std::string pathBytes(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  qsizetype start = 0;  // of the run of ordinary text not yet converted
  const auto flush = [&](qsizetype end) {
    if (end > start) bytes += text.mid(start, end - start).toUtf8().toStdString();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text.at(i).unicode();
    const bool escaped = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF &&
                         !(i > 0 && text.at(i - 1).isHighSurrogate());
    if (!escaped) continue;
    flush(i);
    bytes += static_cast<char>(unit - kEscapeBase);
    start = i + 1;
  }
  flush(text.size());
  return bytes;
}

std::string chosenPathBytes(const QString& chosen) {
  if (!chosen.contains(QChar::ReplacementCharacter)) return pathBytes(chosen);
  const QStringList steps = chosen.split(QLatin1Char('/'));
  std::string path;
  for (qsizetype i = 0; i < steps.size(); ++i) {
    if (i > 0) path += '/';
    const QString& step = steps[i];
    std::string bytes = pathBytes(step);
    if (step.contains(QChar::ReplacementCharacter)) {
      const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.empty() ? "." : path.c_str()), ::closedir);
      std::string match;
      int matches = 0;
      while (folder) {
        const dirent* entry = ::readdir(folder.get());
        if (!entry) break;
        if (QFile::decodeName(entry->d_name) == step && ++matches == 1) match = entry->d_name;
      }
      if (matches == 1) bytes = match;
    }
    path += bytes;
  }
  return path;
}

}  // namespace vireo::views

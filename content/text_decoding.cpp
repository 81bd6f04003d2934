#include "content/text_decoding.h"

#include <algorithm>
#include <optional>

#include "content/charset_table.h"
#include "content/code_pages.h"
#include "platform/ascii_case.h"
#include "platform/charset_detector.h"
#include "platform/iconv_converter.h"

namespace vireo {
namespace {

// Enough text for a reliable guess; detecting a whole 10 MB body would cost more than rendering it.
constexpr size_t kDetectionSample = 64 * 1024;

bool isSevenBit(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || byte == 0x1B;
  });
}

bool isUsAscii(std::string_view charset) {
  return equalsIgnoringAsciiCase(charset, "us-ascii") || equalsIgnoringAsciiCase(charset, "ascii") ||
         equalsIgnoringAsciiCase(charset, "ansi_x3.4-1968");
}

// Only plain names reach iconv: a message must not smuggle "//TRANSLIT" or the like into it.
bool isPlainCharsetName(std::string_view name) {
  if (name.empty() || name.size() > 40) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_' || c == '.' || c == ':';
  });
}

int codePageOf(std::string_view charset) {
  return lookupCharset(charset.data(), static_cast<int>(charset.size()));
}

// The iconv name for a declared charset, or an empty string when it cannot be used.
std::string iconvNameForCharset(std::string_view charset) {
  if (!isPlainCharsetName(charset)) return {};
  int codePage = codePageOf(charset);
  // Mail declared as ISO-8859-1 is routinely windows-1252 (quotes, dashes, the euro sign in
  // 0x80..0x9F); browsers decode it that way too, and the two agree everywhere else.
  if (codePage == 28591 || equalsIgnoringAsciiCase(charset, "iso-8859-1") ||
      equalsIgnoringAsciiCase(charset, "latin1"))
    codePage = 1252;
  if (codePage != 0) {
    const char* name = iconvNameForCodePage(codePage);
    return name != nullptr ? std::string(name) : std::string();
  }
  return std::string(charset);
}

std::string detectedIconvName(std::string_view bytes) {
  const std::string_view sample = bytes.substr(0, kDetectionSample);
  const int codePage = codePageForDetectedCharset(detectCharsetName(sample));
  const char* name = codePage != 0 ? iconvNameForCodePage(codePage) : nullptr;
  return name != nullptr ? std::string(name) : std::string();
}

}  // namespace

// By hand, not through iconv: glibc's UTF-8 decoder lets through lead bytes beyond U+10FFFF
// (F5..F7), which a browser then shows as garbage or refuses.
std::string validUtf8(std::string_view text) {
  if (isValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t at = 0; at < text.size();) {
    const size_t length = validUtf8SequenceLength(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for each byte that starts no sequence
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

std::string decodeTextToUtf8(std::string_view bytes, std::string_view charset) {
  const bool sevenBit = isSevenBit(bytes);
  if (sevenBit && (charset.empty() || isUsAscii(charset) || isAsciiTransparent(codePageOf(charset))))
    return std::string(bytes);
  if (!isUsAscii(charset)) {
    const std::string name = iconvNameForCharset(charset);
    if (!name.empty())
      if (std::optional<std::string> converted = convertWithIconv(bytes, name.c_str(), "UTF-8"))
        return validUtf8(*converted);
  }
  // Undeclared, unknown, or 7-bit declared for 8-bit text: guess.
  if (sevenBit || isValidUtf8(bytes)) return std::string(bytes);
  const std::string detected = detectedIconvName(bytes);
  if (!detected.empty())
    if (std::optional<std::string> converted = convertWithIconv(bytes, detected.c_str(), "UTF-8"))
      return validUtf8(*converted);
  return validUtf8(bytes);
}

}  // namespace vireo

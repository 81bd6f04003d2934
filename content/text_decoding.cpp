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

// The length of the well-formed UTF-8 sequence at p (1 for ASCII), or 0 when none starts there.
size_t sequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = *p;
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < length || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return length;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const size_t length = sequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

// By hand, not through iconv: glibc's UTF-8 decoder lets through lead bytes beyond U+10FFFF
// (F5..F7), which a browser then shows as garbage or refuses.
std::string validUtf8(std::string_view text) {
  if (isValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const size_t length = sequenceLength(p, end);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for each byte that starts no sequence
      ++p;
    } else {
      out.append(reinterpret_cast<const char*>(p), length);
      p += length;
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

#include "content/code_page_conversion.h"

#include <cstring>
#include <string_view>

#include "content/code_pages.h"
#include "platform/charset_detector.h"
#include "platform/iconv_converter.h"

namespace vireo {
namespace {

constexpr int kAsciiCodePage = 20127;

// No byte above 0x7F and no escape, so no 7-bit encoding (ISO-2022) is in play either.
bool isPlainAscii(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte == 0x1B) return false;
  }
  return true;
}

}  // namespace

int detectCodePage(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  const std::string_view view(text);
  // uchardet says ASCII for these too; most header values are, so spare it the work.
  if (isPlainAscii(view) && view.find("~{") == std::string_view::npos) return kAsciiCodePage;
  return codePageForDetectedCharset(detectCharsetName(view));
}

std::optional<std::string> convertCodePage(const char* text, int from, int to) {
  if (text == nullptr) return std::nullopt;
  const std::string_view view(text);
  if (view.empty()) return std::string();
  const char* fromName = iconvNameForCodePage(from);
  const char* toName = iconvNameForCodePage(to);
  if (fromName == nullptr || toName == nullptr) return std::nullopt;
  if (isAsciiTransparent(from) && isAsciiTransparent(to) && isPlainAscii(view))
    return std::string(view);
  return convertWithIconv(view, fromName, toName);
}

}  // namespace vireo

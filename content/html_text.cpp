#include "content/html_text.h"

namespace vireo {

void appendEscapedHtml(std::string& out, std::string_view text) {
  size_t plainFrom = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* reference = nullptr;
    switch (text[i]) {
      case '&': reference = "&amp;"; break;
      case '<': reference = "&lt;"; break;
      case '>': reference = "&gt;"; break;
      case '"': reference = "&quot;"; break;
      case '\'': reference = "&#39;"; break;
      case '\0': reference = "\xEF\xBF\xBD"; break;
      default: continue;
    }
    out.append(text, plainFrom, i - plainFrom);
    out += reference;
    plainFrom = i + 1;
  }
  out.append(text, plainFrom, text.size() - plainFrom);
}

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscapedHtml(out, text);
  return out;
}

void appendPlainTextHtml(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + text.size() / 16);
  size_t from = 0;
  while (from < text.size()) {
    size_t crlf = text.find("\r\n", from);
    if (crlf == std::string_view::npos) crlf = text.size();
    appendEscapedHtml(out, text.substr(from, crlf - from));
    if (crlf < text.size()) out += '\n';
    from = crlf + 2;
  }
}

}  // namespace vireo

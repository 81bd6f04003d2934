#include "cli/json_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/utf8_validation.h"

namespace vireo::cli {

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const size_t length = validUtf8SequenceLength(text, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    const char c = text[i];
    if (length > 1) out.append(text.substr(i, length));
    else if (c == '"') out += "\\\"";
    else if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<uint8_t>(c)));
      out += escape;
    } else {
      out += c;
    }
    i += length;
  }
  out += '"';
}

void appendOneLine(std::string& out, std::string_view text) {
  for (const char c : text) out += static_cast<uint8_t>(c) < 0x20 || c == 0x7F ? ' ' : c;
}

}  // namespace vireo::cli

#include "tools/dbx_writer/message_text.h"

#include <cstdint>

namespace vireo::testing {

std::string simpleMessage(std::string_view subject, std::string_view body, std::string_view from,
                          std::string_view to, std::string_view date) {
  std::string text;
  auto header = [&](std::string_view name, std::string_view value) {
    if (value.empty()) return;
    text.append(name).append(": ").append(value).append("\r\n");
  };
  header("From", from);
  header("To", to);
  header("Subject", subject);
  header("Date", date);
  text.append("\r\n").append(body);
  return text;
}

std::string base64Encode(std::string_view bytes, std::string_view lineEnd) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[group >> 18 & 63];
    out += kDigits[group >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[group >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    if (!lineEnd.empty() && (column += 4) == 76) {
      out += lineEnd;
      column = 0;
    }
  }
  if (column != 0) out += lineEnd;
  return out;
}

}  // namespace vireo::testing

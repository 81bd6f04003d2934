#include "tools/dbx_writer/message_text.h"

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

}  // namespace vireo::testing

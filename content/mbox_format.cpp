#include "content/mbox_format.h"

#include <time.h>

#include <array>
#include <cstdio>

#include "content/message_envelope.h"

namespace vireo {
namespace {

constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Whether a line needs one more ">": any number of ">" and then "From ".
bool needsQuoting(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && line[i] == '>') ++i;
  return line.substr(i).starts_with("From ");
}

}  // namespace

std::string asctimeUtc(int64_t secondsSince1970) {
  const time_t seconds = static_cast<time_t>(secondsSince1970);
  struct tm parts {};
  if (!::gmtime_r(&seconds, &parts)) return asctimeUtc(0);
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d", kDays[static_cast<size_t>(parts.tm_wday) % 7],
                kMonths[static_cast<size_t>(parts.tm_mon) % 12], parts.tm_mday, parts.tm_hour, parts.tm_min,
                parts.tm_sec, parts.tm_year + 1900);
  return text;
}

std::string mboxFromLine(std::string_view message, int64_t fallbackSeconds) {
  std::string sender = senderAddress(message);
  if (sender.empty()) sender = "MAILER-DAEMON";
  return "From " + sender + " " + asctimeUtc(messageDateSeconds(message).value_or(fallbackSeconds)) + "\n";
}

void appendMboxEntry(std::string& out, std::string_view message, int64_t fallbackSeconds) {
  out += mboxFromLine(message, fallbackSeconds);
  size_t pos = 0;
  while (pos < message.size()) {
    size_t end = message.find('\n', pos);
    end = end == std::string_view::npos ? message.size() : end + 1;
    const std::string_view line = message.substr(pos, end - pos);
    if (needsQuoting(line)) out += '>';
    out += line;
    pos = end;
  }
  if (!message.empty() && message.back() != '\n') out += '\n';
  out += '\n';
}

}  // namespace vireo

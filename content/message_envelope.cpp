#include "content/message_envelope.h"

#include "content/date_parsing.h"
#include "platform/ascii_case.h"
#include "platform/time_conversion.h"

namespace vireo {
namespace {

// File time of 1 January 1970.
constexpr int64_t kUnixEpochFileTime = 116'444'736'000'000'000;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The address-like word of a header value: the part in angle brackets, else the first word
// holding an "@", stripped of quotes and parentheses around it.
std::string addressIn(std::string_view value) {
  const size_t open = value.find('<');
  if (open != std::string_view::npos) {
    const size_t close = value.find('>', open);
    if (close != std::string_view::npos) {
      const std::string_view inside = trimmed(value.substr(open + 1, close - open - 1));
      if (!inside.empty()) return std::string(inside);
    }
  }
  size_t start = 0;
  while (start < value.size()) {
    while (start < value.size() && isSpace(value[start])) ++start;
    size_t end = start;
    while (end < value.size() && !isSpace(value[end])) ++end;
    std::string_view word = value.substr(start, end - start);
    if (word.find('@') != std::string_view::npos) {
      while (!word.empty() && (word.front() == '"' || word.front() == '(' || word.front() == '<')) word.remove_prefix(1);
      while (!word.empty() && (word.back() == '"' || word.back() == ')' || word.back() == '>' || word.back() == ','))
        word.remove_suffix(1);
      if (!word.empty()) return std::string(word);
    }
    start = end;
  }
  return {};
}

}  // namespace

std::optional<std::string> headerValue(std::string_view message, std::string_view name) {
  size_t pos = 0;
  while (pos < message.size()) {
    size_t end = message.find('\n', pos);
    if (end == std::string_view::npos) end = message.size();
    std::string_view line = message.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return std::nullopt;  // the header section ends
    const size_t colon = line.find(':');
    if (colon == name.size() && equalsIgnoringAsciiCase(line.substr(0, colon), name)) {
      std::string value(line.substr(colon + 1));
      // Continuation lines start with white space and belong to this value.
      size_t next = end + 1;
      while (next < message.size() && (message[next] == ' ' || message[next] == '\t')) {
        size_t nextEnd = message.find('\n', next);
        if (nextEnd == std::string_view::npos) nextEnd = message.size();
        std::string_view more = message.substr(next, nextEnd - next);
        if (!more.empty() && more.back() == '\r') more.remove_suffix(1);
        value += more;
        next = nextEnd + 1;
      }
      return std::string(trimmed(value));
    }
    pos = end + 1;
  }
  return std::nullopt;
}

std::optional<int64_t> messageDateSeconds(std::string_view message) {
  for (const std::string_view name : {std::string_view("Date"), std::string_view("Resent-Date")}) {
    const std::optional<std::string> value = headerValue(message, name);
    if (!value) continue;
    if (const std::optional<int64_t> utc = parseDateUtc(*value))
      return (*utc - kUnixEpochFileTime) / kFileTimeTicksPerSecond;
  }
  return std::nullopt;
}

std::string senderAddress(std::string_view message) {
  for (const std::string_view name : {std::string_view("From"), std::string_view("Sender")}) {
    const std::optional<std::string> value = headerValue(message, name);
    if (!value) continue;
    std::string address = addressIn(*value);
    std::erase_if(address, isSpace);
    if (!address.empty()) return address;
  }
  return {};
}

}  // namespace vireo

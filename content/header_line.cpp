#include "content/header_line.h"

#include <cstring>

#include "content/charset_table.h"

namespace vireo {
namespace {

constexpr std::string_view kCharsetParameter = "charset=";
constexpr size_t kMaxCharsetTextBytes = 499;

bool isCharsetValueDelimiter(char c) {
  switch (c) {
    case '"': case ';': case '.': case ',': case '/': case ' ': case '\n': case '\t': case '\r':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string_view firstWordOfLine(const char* start, size_t length) {
  size_t begin = 0;
  while (begin < length && isWordDelimiter(start[begin])) ++begin;
  size_t end = begin;
  while (end < length && start[end] != '\0' && !isWordDelimiter(start[end])) ++end;
  return {start + begin, end - begin};
}

int findLineEnd(const char* text, int from, int limit) {
  int position = from;
  while (position < limit) {
    const void* found = std::memchr(text + position, '\r', static_cast<size_t>(limit - position));
    if (found == nullptr) return -1;
    position = static_cast<int>(static_cast<const char*>(found) - text);
    if (text[position + 1] == '\n') return position;
    ++position;
  }
  return -1;
}

std::string_view lineText(const char* start, size_t length) {
  const void* nul = std::memchr(start, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - start);
  return {start, length};
}

// The rest of charsetLineCodePage, for a first word that is Content-Type: or holds a '='.
std::optional<int> charsetParameterCodePage(std::string_view line, std::string_view firstWord) {
  if (!equalsIgnoringAsciiCase(firstWord, "Content-Type:") && firstWord.find(kCharsetParameter) == std::string_view::npos)
    return std::nullopt;
  const size_t parameter = line.find(kCharsetParameter);
  if (parameter == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(parameter + kCharsetParameter.size(), kMaxCharsetTextBytes);
  size_t start = 0;
  while (start < rest.size() && isCharsetValueDelimiter(rest[start])) ++start;
  size_t end = start;
  while (end < rest.size() && !isCharsetValueDelimiter(rest[end])) ++end;
  return lookupCharset(rest.data() + start, static_cast<int>(end - start));
}

void appendContinuation(std::string& value, std::string_view continuation) {
  const size_t text = continuation.find_first_not_of(" \t");
  const bool betweenEncodedWords = text != std::string_view::npos && value.ends_with("?=") &&
                                   continuation.substr(text).starts_with("=?");
  value += betweenEncodedWords ? continuation.substr(text) : continuation;
}

std::string unfoldHeaderValue(std::string_view rawValue) {
  std::string value;
  value.reserve(rawValue.size());
  size_t start = 0;
  while (start <= rawValue.size()) {
    size_t end = rawValue.find('\n', start);
    if (end == std::string_view::npos) end = rawValue.size();
    std::string line;
    for (const char c : rawValue.substr(start, end - start))
      if (c != '\r' && c != '\0') line += c;
    if (start == 0) value = std::move(line);
    else appendContinuation(value, line);
    start = end + 1;
  }
  return value;
}

bool isAttachmentLine(std::string_view line, std::string_view firstWord) {
  return equalsIgnoringAsciiCase(firstWord, "Content-Disposition:") &&
         line.find("Content-Disposition: attachment") != std::string_view::npos;
}

}  // namespace vireo

#include "content/html_urls.h"

#include "platform/ascii_case.h"

namespace vireo {
namespace {

bool isAsciiWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isControlOrSpace(char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; }

// What a browser's URL parser reads: without control characters and spaces around it, nor tabs
// and line breaks inside it.
std::string cleanedUrl(std::string_view value) {
  while (!value.empty() && isControlOrSpace(value.front())) value.remove_prefix(1);
  while (!value.empty() && isControlOrSpace(value.back())) value.remove_suffix(1);
  std::string url;
  url.reserve(value.size());
  for (char c : value)
    if (c != '\t' && c != '\n' && c != '\r') url += c;
  return url;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// The URL's scheme in lower case, or an empty string for a relative reference.
std::string schemeOf(std::string_view url) {
  std::string scheme;
  for (char c : url) {
    if (c == ':') return scheme;
    const char lower = asciiLower(c);
    const bool letter = lower >= 'a' && lower <= 'z';
    if (!letter && (scheme.empty() || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return {};
    scheme += lower;
  }
  return {};
}

size_t findIgnoringCase(std::string_view text, std::string_view needle, size_t from) {
  for (size_t at = from; at + needle.size() <= text.size(); ++at)
    if (equalsIgnoringAsciiCase(text.substr(at, needle.size()), needle)) return at;
  return std::string_view::npos;
}

}  // namespace

std::optional<std::string> allowedUrl(std::string_view value, const ReferenceResolver& resolve) {
  std::string url = cleanedUrl(value);
  if (url.empty()) return std::nullopt;
  if (std::string part = resolve(url); !part.empty()) return part;
  const std::string scheme = schemeOf(url);
  if (scheme == "http" || scheme == "https" || scheme == "mailto") return url;
  if (scheme == "data" && startsWithIgnoringCase(url, "data:image/")) return url;
  if (scheme.empty() && url.front() == '#') return url;
  return std::nullopt;  // javascript:, vbscript:, data:text/html, file:, a cid: naming no part, ...
}

std::optional<std::string> allowedSrcset(std::string_view value, const ReferenceResolver& resolve) {
  std::string kept;
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && (isAsciiWhitespace(value[i]) || value[i] == ',')) ++i;
    const size_t urlStart = i;
    while (i < value.size() && !isAsciiWhitespace(value[i])) ++i;
    std::string_view url = value.substr(urlStart, i - urlStart);
    std::string_view descriptor;
    if (!url.empty() && url.back() == ',') {
      while (!url.empty() && url.back() == ',') url.remove_suffix(1);
    } else {
      const size_t descriptorStart = i;
      int parentheses = 0;
      while (i < value.size() && (value[i] != ',' || parentheses > 0)) {
        if (value[i] == '(') ++parentheses;
        else if (value[i] == ')' && parentheses > 0) --parentheses;
        ++i;
      }
      descriptor = value.substr(descriptorStart, i - descriptorStart);
      while (!descriptor.empty() && isAsciiWhitespace(descriptor.front())) descriptor.remove_prefix(1);
      while (!descriptor.empty() && isAsciiWhitespace(descriptor.back())) descriptor.remove_suffix(1);
    }
    if (url.empty()) continue;
    const std::optional<std::string> allowed = allowedUrl(url, resolve);
    if (!allowed || allowed->find_first_of(" \t\n\r\f,") != std::string::npos) continue;
    if (!kept.empty()) kept += ", ";
    kept += *allowed;
    if (!descriptor.empty()) {
      kept += ' ';
      kept += descriptor;
    }
  }
  if (kept.empty()) return std::nullopt;
  return kept;
}

std::string resolvedCss(std::string_view css, const ReferenceResolver& resolve) {
  std::string out;
  out.reserve(css.size());
  size_t from = 0;
  for (size_t at = findIgnoringCase(css, "url(", 0); at != std::string_view::npos;
       at = findIgnoringCase(css, "url(", from)) {
    size_t start = at + 4;
    while (start < css.size() && isAsciiWhitespace(css[start])) ++start;
    char quote = 0;
    if (start < css.size() && (css[start] == '"' || css[start] == '\'')) quote = css[start++];
    size_t stop = start;
    while (stop < css.size() && css[stop] != (quote != 0 ? quote : ')') && (quote != 0 || !isAsciiWhitespace(css[stop])))
      ++stop;
    out.append(css, from, start - from);
    const std::string replacement = resolve(css.substr(start, stop - start));
    if (replacement.empty()) out.append(css, start, stop - start);
    else out += replacement;
    from = stop;
  }
  out.append(css, from, css.size() - from);
  return out;
}

}  // namespace vireo

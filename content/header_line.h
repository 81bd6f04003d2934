#pragma once
// The pieces of the header line scan: lines, their first word, charset and attachment lines.
// Everything works on views into the message bytes and never reads past them.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ascii_case.h"

namespace vireo {

// Lines examined for headers are cut to this many bytes.
inline constexpr size_t kMaxHeaderLineBytes = 399;
// The body scan skips lines this long or longer whole.
inline constexpr size_t kMaxBodyLineBytes = 400;

namespace detail {
inline constexpr std::array<bool, 256> kWordDelimiters = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {'<', '>', '"', ' ', '\t', '\n', '\r'}) table[c] = true;
  return table;
}();
}  // namespace detail

// Every line of a message passes here, so it is a table look-up, not a chain of compares.
inline bool isWordDelimiter(char c) { return detail::kWordDelimiters[static_cast<unsigned char>(c)]; }

// Next word of text at or after from: leading delimiters skipped, ended by the next one.
// end is the index of the delimiter that ended it, text.size() when none did.
struct Word {
  std::string_view text;
  size_t end = 0;
};
// Inline: the scan and the date parse take several words of every line they look at.
inline std::optional<Word> nextWord(std::string_view text, size_t from = 0) {
  size_t start = from;
  while (start < text.size() && isWordDelimiter(text[start])) ++start;
  if (start >= text.size()) return std::nullopt;
  size_t end = start;
  while (end < text.size() && !isWordDelimiter(text[end])) ++end;
  return Word{text.substr(start, end - start), end};
}

// The first word of the line that starts at start, cut to length bytes: what nextWord finds in
// lineText(start, length), found in one pass without first looking for a NUL over the whole line
// (a NUL ends the word, and before any word ends the line). Empty when the line has no word.
std::string_view firstWordOfLine(const char* start, size_t length);

// Position of the first CR LF pair at or after from whose CR lies before limit, or -1. The
// caller keeps limit below the text's length, so the LF is always inside it.
int findLineEnd(const char* text, int from, int limit);

// The bytes of a line as C string functions would see them: up to the first NUL.
std::string_view lineText(const char* start, size_t length);

// A charset line: the first word is Content-Type: (any case) or holds "charset=", and the line
// holds "charset=". Gives the code page of the charset named after it (0 when unknown).
// Inline, so that the usual answer for another header line (a first word that is not
// Content-Type: and holds no '=') costs no call: an optional<int> returned from a call goes
// through memory, and reading it back stalled on the byte just written.
std::optional<int> charsetParameterCodePage(std::string_view line, std::string_view firstWord);
inline std::optional<int> charsetLineCodePage(std::string_view line, std::string_view firstWord) {
  bool holdsEquals = false;
  for (const char c : firstWord) holdsEquals |= c == '=';
  if (!holdsEquals && !equalsIgnoringAsciiCase(firstWord, "Content-Type:")) return std::nullopt;
  return charsetParameterCodePage(line, firstWord);
}

// "Content-Disposition: attachment", exactly so, on a Content-Disposition: line.
bool isAttachmentLine(std::string_view line, std::string_view firstWord);

// Appends a continuation line (its leading space or tab included, its CR LF not) to a header
// value. Unfolding removes only the line break: the whitespace after it separates words
// ("github.com\r\n and win" reads "github.com and win"). Between two encoded words it is
// dropped instead, as RFC 2047 says, so a word split over lines joins up again.
void appendContinuation(std::string& value, std::string_view continuation);

// A stored header value (folded, line breaks CR LF or LF) as one line: every CR and LF removed,
// with the whitespace after a fold kept as appendContinuation keeps it; NULs dropped.
std::string unfoldHeaderValue(std::string_view rawValue);

}  // namespace vireo

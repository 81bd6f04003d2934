#include "content/encoded_words.h"

#include <string_view>

#include "content/b_q_decoders.h"
#include "content/charset_table.h"
#include "content/code_page_conversion.h"
#include "content/code_pages.h"

namespace vireo {
namespace {

// The pieces of one encoded word, "=?" charset "?" encoding "?" text "?=", as views into the
// value, with where the word starts and ends (past its "?=").
struct EncodedWord {
  std::string_view charset;
  std::string_view encoding;
  std::string_view text;
  size_t start = 0;
  size_t end = 0;
};

// The word that the first "=?" at or after from begins; nothing when that one is not complete.
std::optional<EncodedWord> findEncodedWord(std::string_view value, size_t from) {
  const size_t start = value.find("=?", from);
  if (start == std::string_view::npos) return std::nullopt;
  EncodedWord word;
  word.start = start;
  std::string_view* const fields[] = {&word.charset, &word.encoding, &word.text};
  size_t at = start + 2;
  for (std::string_view* field : fields) {
    const size_t mark = value.find('?', at);
    if (mark == std::string_view::npos) return std::nullopt;
    *field = value.substr(at, mark - at);
    at = mark + 1;
  }
  if (at >= value.size() || value[at] != '=') return std::nullopt;
  word.end = at + 1;
  return word;
}

// The word's text decoded and converted to targetCodePage; charsetCodePage gets its charset's
// code page. Nothing when the charset is unknown, the encoding is neither B nor Q, or the text
// does not decode to at least one byte.
std::optional<std::string> decodeWord(const EncodedWord& word, int& targetCodePage, int& charsetCodePage) {
  const int codePage = lookupCharset(word.charset.data(), static_cast<int>(word.charset.size()));
  charsetCodePage = codePage;
  if (codePage == 0 || word.encoding.size() != 1) return std::nullopt;
  const char encoding = word.encoding[0];
  const bool isB = encoding == 'B' || encoding == 'b';
  const bool isQ = encoding == 'Q' || encoding == 'q';
  if (!isB && !isQ) return std::nullopt;

  const int textLength = static_cast<int>(word.text.size());
  const int capacity = isB ? bTextCapacity(textLength) : qTextCapacity(textLength);
  std::string decoded(static_cast<size_t>(capacity) + 1, '\0');
  int count = capacity;
  const int written = isB ? decodeBText(word.text.data(), textLength, decoded.data(), count)
                          : decodeQText(word.text.data(), textLength, decoded.data(), count);
  if (written < 1) return std::nullopt;
  decoded[static_cast<size_t>(written)] = '\0';

  if (targetCodePage == 0) targetCodePage = ansiCodePage() != 0 ? ansiCodePage() : -1;
  return convertCodePage(decoded.c_str(), codePage, targetCodePage);
}

}  // namespace

std::optional<std::string> decodeEncodedWord(const char* word, int length, int& targetCodePage,
                                             int& charsetCodePage) {
  charsetCodePage = 0;
  if (word == nullptr || length <= 0) return std::nullopt;
  const std::string_view value(word, static_cast<size_t>(length));
  const size_t start = value.find_first_not_of(' ');
  if (start == std::string_view::npos || !value.substr(start).starts_with("=?")) return std::nullopt;
  const std::optional<EncodedWord> found = findEncodedWord(value, start);
  if (!found) return std::nullopt;
  std::optional<std::string> converted = decodeWord(*found, targetCodePage, charsetCodePage);
  if (converted) converted->append(value.substr(found->end));
  return converted;
}

// Iterative rather than recursive, one word after another: a folded value can hold tens of
// thousands of words.
std::optional<std::string> decodeHeaderWords(const char* value, int length, int& targetCodePage,
                                             int& wordCodePage) {
  if (value == nullptr || length <= 0) return std::nullopt;
  const std::string_view text(value, static_cast<size_t>(length));
  std::optional<EncodedWord> word = findEncodedWord(text, 0);
  if (!word) return std::nullopt;

  int usedCodePage = targetCodePage;
  int firstCodePage = 0;
  std::optional<std::string> first = decodeWord(*word, usedCodePage, firstCodePage);
  wordCodePage = firstCodePage;
  if (!first || first->empty()) return std::nullopt;

  std::string result(text.substr(0, word->start));
  result += *first;
  size_t rest = word->end;
  while (rest < text.size()) {
    int innerTarget = targetCodePage;
    int innerCodePage = 0;
    std::optional<std::string> next;
    word = findEncodedWord(text, rest);
    if (word) next = decodeWord(*word, innerTarget, innerCodePage);
    if (!next || next->empty()) {
      result += text.substr(rest);
      break;
    }
    result += text.substr(rest, word->start - rest);
    result += *next;
    rest = word->end;
  }
  targetCodePage = usedCodePage;
  return result;
}

}  // namespace vireo

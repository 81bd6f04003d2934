#include "content/encoded_words.h"

#include <algorithm>

#include "content/b_q_decoders.h"
#include "content/charset_table.h"
#include "content/code_page_conversion.h"
#include "content/code_pages.h"

namespace vireo {
namespace {

const char* findChar(const char* from, const char* end, char c) {
  return std::find(from, end, c);
}

// Locates the next complete encoded word at or after from: start is its "=?", close the "?" of
// its closing "?=". False when the first "=?" found does not begin a complete word.
bool findEncodedWord(const char* from, const char* end, const char*& start, const char*& close) {
  const char* p = from;
  while (p + 1 < end && !(p[0] == '=' && p[1] == '?')) ++p;
  if (!(p + 1 < end) || !(p + 4 < end)) return false;
  int questionMarks = 0;
  const char* q = p + 2;
  for (; q < end; ++q)
    if (*q == '?' && ++questionMarks == 3) break;
  if (!(q + 1 < end) || q[1] != '=') return false;
  start = p;
  close = q;
  return true;
}

}  // namespace

std::optional<std::string> decodeEncodedWord(const char* word, int length, int& targetCodePage,
                                             int& charsetCodePage) {
  charsetCodePage = 0;
  if (word == nullptr || length <= 0) return std::nullopt;
  const char* end = word + length;
  const char* start = word;
  while (start < end && *start == ' ') ++start;
  if (!(start + 4 < end) || start[0] != '=' || start[1] != '?') return std::nullopt;

  const char* name = start + 2;
  const char* nameEnd = findChar(name, end, '?');
  if (!(nameEnd + 3 < end)) return std::nullopt;
  const int codePage = lookupCharset(name, static_cast<int>(nameEnd - name));
  charsetCodePage = codePage;
  if (codePage == 0) return std::nullopt;

  const char* encoding = nameEnd + 1;
  const char* encodingEnd = findChar(encoding, end, '?');
  if (!(encodingEnd + 2 < end) || encodingEnd - encoding != 1) return std::nullopt;
  const bool isB = *encoding == 'B' || *encoding == 'b';
  const bool isQ = *encoding == 'Q' || *encoding == 'q';
  if (!isB && !isQ) return std::nullopt;

  const char* text = encodingEnd + 1;
  const char* textEnd = findChar(text, end, '?');
  if (!(textEnd + 1 < end) || textEnd[1] != '=') return std::nullopt;

  const int textLength = static_cast<int>(textEnd - text);
  const int capacity = isB ? bTextCapacity(textLength) : qTextCapacity(textLength);
  std::string decoded(static_cast<size_t>(capacity) + 1, '\0');
  int count = capacity;
  const int written = isB ? decodeBText(text, textLength, decoded.data(), count)
                          : decodeQText(text, textLength, decoded.data(), count);
  if (written < 1) return std::nullopt;
  decoded[static_cast<size_t>(written)] = '\0';

  if (targetCodePage == 0) targetCodePage = ansiCodePage() != 0 ? ansiCodePage() : -1;
  std::optional<std::string> converted = convertCodePage(decoded.c_str(), codePage, targetCodePage);
  if (!converted) return std::nullopt;
  const char* after = textEnd + 2;
  if (after < end) converted->append(after, end);
  return converted;
}

// Iterative rather than recursive, one word after another: a folded value can hold tens of
// thousands of words.
std::optional<std::string> decodeHeaderWords(const char* value, int length, int& targetCodePage,
                                             int& wordCodePage) {
  if (value == nullptr || length <= 0) return std::nullopt;
  const char* end = value + length;
  const char* start = nullptr;
  const char* close = nullptr;
  if (!findEncodedWord(value, end, start, close)) return std::nullopt;

  int usedCodePage = targetCodePage;
  int firstCodePage = 0;
  std::optional<std::string> first =
      decodeEncodedWord(start, static_cast<int>(close + 2 - start), usedCodePage, firstCodePage);
  wordCodePage = firstCodePage;
  if (!first || first->empty()) return std::nullopt;

  std::string result(value, start);
  result += *first;
  const char* rest = close + 2;
  while (rest < end) {
    int innerTarget = targetCodePage;
    int innerCodePage = 0;
    std::optional<std::string> next;
    if (findEncodedWord(rest, end, start, close))
      next = decodeEncodedWord(start, static_cast<int>(close + 2 - start), innerTarget,
                               innerCodePage);
    if (!next || next->empty()) {
      result.append(rest, end);
      break;
    }
    result.append(rest, start);
    result += *next;
    rest = close + 2;
  }
  targetCodePage = usedCodePage;
  return result;
}

}  // namespace vireo

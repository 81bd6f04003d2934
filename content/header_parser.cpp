#include "content/header_parser.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "content/code_page_conversion.h"
#include "content/code_pages.h"
#include "content/date_parsing.h"
#include "content/encoded_words.h"
#include "content/header_line.h"
#include "content/header_line_marks.h"

namespace vireo {
namespace {

// In the order the names are tried.
enum Header { kTo, kFrom, kResentTo, kResentFrom, kSubject, kDate, kResentDate, kHeaderCount };
constexpr std::array<std::string_view, kHeaderCount> kHeaderNames = {
    "To:", "From:", "Resent-To:", "Resent-From:", "Subject:", "Date:", "Resent-Date:"};

// Beyond this many lines the rest of a text is not looked at for headers.
constexpr int kMaxHeaderLines = 100;
// A decoded value this long or longer is not kept; the raw first line is.
constexpr size_t kMaxDecodedValueBytes = 400;

constexpr std::string_view kNoSubject = "(No subject)";

int matchHeader(std::string_view word, const std::array<bool, kHeaderCount>& found) {
  for (int h = 0; h < kHeaderCount; ++h)
    if (!found[h] && equalsIgnoringAsciiCase(word, kHeaderNames[h])) return h;
  return -1;
}

// A loop, not find: the words are short, and a call per body line costs more than the search.
bool holdsEquals(std::string_view word) {
  for (const char c : word)
    if (c == '=') return true;
  return false;
}

// No NUL, no escape and no byte above 0x7F.
bool isSevenBitText(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte == 0x1B || byte >= 0x80) return false;
  }
  return true;
}

// A quoted display name loses its two quotes; leading spaces go too.
void cleanAddress(std::string& text) {
  if (text.size() >= 3 && text[0] == '"') {
    const size_t closing = text.find('"', 1);
    if (closing != std::string::npos) {
      text.erase(closing, 1);
      text.erase(0, 1);
    }
  }
  const size_t firstNonSpace = text.find_first_not_of(' ');
  if (firstNonSpace != 0) text.erase(0, firstNonSpace == std::string::npos ? text.size() : firstNonSpace);
}

// A value written in the message's own charset (or a guessed one) converted to the ANSI code
// page; left as it is when nothing fits.
void convertUndecodedValue(std::string& text, int messageCodePage) {
  if (text.empty()) return;
  const int source = messageCodePage != 0 ? messageCodePage : detectCodePage(text.c_str());
  if (source == 0) return;
  // Most values are 7-bit, and between two ASCII-transparent code pages such a value comes out
  // as it went in: spare the copy. (A NUL would end the conversion early, so it takes the
  // conversion's way.)
  if (isAsciiTransparent(source) && isAsciiTransparent(ansiCodePage()) && isSevenBitText(text)) return;
  std::optional<std::string> converted = convertCodePage(text.c_str(), source, ansiCodePage());
  if (converted && !converted->empty()) text = std::move(*converted);
}

}  // namespace

void parseHeaderFields(const char* text, int length, SummaryFields& fields) {
  if (text == nullptr || length < 0) length = 0;
  std::array<bool, kHeaderCount> found{};
  int toWordCodePage = 0;
  int fromWordCodePage = 0;
  int subjectWordCodePage = 0;
  // The fields' own strings are filled in place, so that their capacity serves the next parse.
  std::string& to = fields.to;
  std::string& from = fields.from;
  std::string& subject = fields.subject;
  std::string& dateText = fields.dateText;
  std::string& value = fields.work.value;
  std::string& resentTo = fields.work.resentTo;
  std::string& resentFrom = fields.work.resentFrom;
  to.clear();
  from.clear();
  subject.clear();
  dateText.clear();
  resentTo.clear();
  resentFrom.clear();
  int messageCodePage = 0;
  int attachment = 0;
  int lines = 0;

  const int limit = length - 4;
  HeaderLineMarks marks(text, length);
  int position = 0;
  int lineStart = 0;
  bool textEnded = false;
  while (!textEnded && position < limit) {
    // Most lines are plain body lines, passed over in bulk; the rest are taken one at a time.
    if (marks.passPlainLines(lineStart, limit, lines, kMaxHeaderLines)) {
      position = lineStart;
      break;
    }
    position = lineStart;
    if (position >= limit) break;
    const int lineEnd = marks.findLineEnd(position, limit);
    if (lineEnd < 0) break;
    ++lines;
    // Most lines looked at are body lines: the scan goes on after the last header when that was
    // a charset or Date line. A line matters only when its first word ends in ':' (a field name,
    // Content-Type: or Content-Disposition:) or holds a '=' (charset=), so the others are passed
    // over before the line is cut at a NUL and its word matched against every name. One that
    // starts with a word byte and holds neither anywhere is passed over on the marks alone, not
    // by a walk of its first word byte by byte (a base64 line is one long word).
    const char* const start = text + lineStart;
    const size_t span = std::min(static_cast<size_t>(lineEnd - lineStart), kMaxHeaderLineBytes);
    if (span > 0 && start[0] != '\0' && !isWordDelimiter(start[0]) && !marks.holdsColonOrEquals(lineStart, span)) {
      position = lineStart = lineEnd + 2;
      if (lines > kMaxHeaderLines) break;
      continue;
    }
    const std::string_view first = firstWordOfLine(start, span);
    if (first.empty() || (first.back() != ':' && !holdsEquals(first))) {
      position = lineStart = lineEnd + 2;
      if (!first.empty() && lines > kMaxHeaderLines) break;
      continue;
    }
    const std::string_view line = lineText(start, span);
    position = lineStart = lineEnd + 2;

    const std::optional<Word> word = nextWord(line);
    if (!word) continue;

    if (messageCodePage == 0) {
      if (std::optional<int> codePage = charsetLineCodePage(line, word->text)) {
        messageCodePage = *codePage;
        continue;
      }
    }
    if (attachment == 0 && isAttachmentLine(line, word->text)) attachment = 1;

    const int header = matchHeader(word->text, found);
    if (header < 0) {
      if (lines > kMaxHeaderLines) break;
      continue;
    }

    // The value starts after the one delimiter that ended the name.
    const size_t valueStart = word->end + 1;
    if (valueStart < line.size()) {
      const std::string_view firstLine = line.substr(valueStart);
      value.assign(firstLine);
      // Folding: a line starting with a space or tab continues the value; only the line break
      // goes (appendContinuation).
      while (position < length && (text[position] == ' ' || text[position] == '\t')) {
        const int folded = position;
        position = lineStart = position + 1;
        const int continuationEnd = marks.findLineEnd(position, limit);
        if (continuationEnd < 0) {
          textEnded = true;
          break;
        }
        if (continuationEnd == position) break;  // left to be read as an empty line
        appendContinuation(value, lineText(text + folded, static_cast<size_t>(continuationEnd - folded)));
        position = lineStart = continuationEnd + 2;
      }

      if (header == kDate || header == kResentDate) {
        dateText.swap(value);
        found[kDate] = found[kResentDate] = true;
        continue;
      }

      int target = 0;
      int wordCodePage = 0;
      std::optional<std::string> decoded =
          decodeHeaderWords(value.data(), static_cast<int>(value.size()), target, wordCodePage);
      std::string* stored = nullptr;
      switch (header) {
        case kTo:
          stored = &to;
          toWordCodePage = wordCodePage;
          break;
        case kFrom:
          stored = &from;
          fromWordCodePage = wordCodePage;
          break;
        case kSubject:
          stored = &subject;
          subjectWordCodePage = wordCodePage;
          break;
        // A Resent value only stands in for a missing To or From; its word code page must not
        // mark a To or From value already found as decoded, or that value would go unconverted
        // (or be converted twice).
        case kResentTo:
          stored = &resentTo;
          if (!found[kTo]) toWordCodePage = wordCodePage;
          break;
        case kResentFrom:
          stored = &resentFrom;
          if (!found[kFrom]) fromWordCodePage = wordCodePage;
          break;
        default:
          break;
      }
      // Every continuation adds at least its leading space or tab, so an unchanged size means
      // the value is still the first line's, and it is kept instead of copied again. (Swapped,
      // not moved: the working value keeps the capacity the field had.)
      if (stored != nullptr) {
        if (decoded && decoded->size() < kMaxDecodedValueBytes)
          stored->swap(*decoded);
        else if (value.size() == firstLine.size())
          stored->swap(value);
        else
          stored->assign(firstLine);
      }
      found[header] = true;
    }

    if (found[kTo] && found[kFrom] && found[kSubject] && found[kDate] && messageCodePage != 0)
      break;
    if (lines > kMaxHeaderLines) break;
  }

  if (messageCodePage == 0) messageCodePage = toWordCodePage;
  if (messageCodePage == 0) messageCodePage = fromWordCodePage;
  if (messageCodePage == 0) messageCodePage = subjectWordCodePage;

  if (!found[kFrom] && found[kResentFrom]) from.swap(resentFrom);
  if (!found[kTo] && found[kResentTo]) to.swap(resentTo);
  if (!found[kSubject]) subject.assign(kNoSubject);

  uint64_t time = 0;
  if (found[kDate])
    parseDate(dateText, time);
  else
    dateText.clear();

  // The body scan starts with the first line the scan above did not finish, so a charset or
  // attachment line at the very end of the text is still seen.
  const int bodyStart = std::min(lineStart, length);
  scanBodyForCharsetAndAttachment(text + bodyStart, length - bodyStart, messageCodePage,
                                  attachment);

  if (ansiCodePage() != 0) {
    if (found[kTo] && toWordCodePage == 0) convertUndecodedValue(to, messageCodePage);
    if (found[kFrom] && fromWordCodePage == 0) convertUndecodedValue(from, messageCodePage);
    if (found[kSubject] && subjectWordCodePage == 0)
      convertUndecodedValue(subject, messageCodePage);
  }

  if (found[kTo]) cleanAddress(to);
  if (found[kFrom]) cleanAddress(from);

  fields.time = time;
  fields.codePage = messageCodePage;
  fields.attachment = static_cast<int16_t>(attachment);
  fields.lines = lines;
}

SummaryFields parseHeaderFields(const char* text, int length) {
  SummaryFields fields;
  parseHeaderFields(text, length, fields);
  return fields;
}

}  // namespace vireo

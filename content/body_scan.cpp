// The scan of a whole message for its first known charset line and its first attachment line.
//
// Every line that can set either output holds a fixed needle: a charset line holds "charset="
// and an attachment line holds "Content-Disposition: attachment". So instead of taking the first
// word of every line of the message (most of a base's bytes are bodies), the scan jumps from
// one needle to the next and examines only the lines that hold one, with the same rules; the
// answer is the same, found at the speed of a needle search.
#include <string_view>

#include "content/body_scan_needle.h"
#include "content/header_line.h"
#include "content/header_parser.h"

namespace vireo {
namespace {

constexpr std::string_view kCharsetNeedle = "charset=";
constexpr std::string_view kAttachmentNeedle = "Content-Disposition: attachment";

// The lines are the stretches between CR LF pairs, counted from the start of the text; only
// lines whose pair ends before the text's last byte are examined.
class NeedleLines {
 public:
  NeedleLines(const char* text, int length, std::string_view needle)
      : text_(text), length_(length), needle_(needle) {}

  // The next line at or after the search position that holds the needle and is short enough
  // to examine, as its view up to a NUL; false when there is none.
  bool next(std::string_view& line) {
    while (from_ < length_) {
      const char* hit = findNeedle(text_ + from_, static_cast<size_t>(length_ - from_), needle_);
      if (hit == nullptr) return false;
      const int at = static_cast<int>(hit - text_);
      const int lineEnd = findLineEnd(text_, at, length_ - 1);
      if (lineEnd < 0) return false;  // the needle's line never ends: it is not examined
      from_ = lineEnd + 2;
      const int lineStart = startOfLine(at);
      if (lineStart < 0 || static_cast<size_t>(lineEnd - lineStart) >= kMaxBodyLineBytes) continue;
      line = lineText(text_ + lineStart, static_cast<size_t>(lineEnd - lineStart));
      return true;
    }
    return false;
  }

 private:
  // Start of the line holding position at, or -1 when that line is too long to be examined.
  int startOfLine(int at) const {
    const int earliest = at > static_cast<int>(kMaxBodyLineBytes) + 2 ? at - static_cast<int>(kMaxBodyLineBytes) - 2 : 0;
    for (int k = at - 2; k >= earliest; --k)
      if (text_[k] == '\r' && text_[k + 1] == '\n') return k + 2;
    return earliest == 0 ? 0 : -1;
  }

  const char* text_;
  int length_;
  std::string_view needle_;
  int from_ = 0;
};

}  // namespace

void scanBodyForCharsetAndAttachment(const char* text, int length, int& codePage, int& attachment) {
  if (codePage != 0 && attachment != 0) return;
  if (text == nullptr || length < 2) return;
  std::string_view line;
  if (codePage == 0) {
    NeedleLines lines(text, length, kCharsetNeedle);
    while (codePage == 0 && lines.next(line)) {
      const std::optional<Word> word = nextWord(line);
      if (!word) continue;
      if (const std::optional<int> found = charsetLineCodePage(line, word->text)) codePage = *found;
    }
  }
  if (attachment == 0) {
    NeedleLines lines(text, length, kAttachmentNeedle);
    while (attachment == 0 && lines.next(line)) {
      const std::optional<Word> word = nextWord(line);
      if (word && isAttachmentLine(line, word->text)) attachment = 1;
    }
  }
}

}  // namespace vireo

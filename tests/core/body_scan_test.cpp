// The body scan finds the same charset and attachment lines as examining every line in turn.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "content/header_line.h"
#include "content/header_parser.h"

namespace vireo {
namespace {

// Every line in turn, as the scan is defined.
void scanEveryLine(const char* text, int length, int& codePage, int& attachment) {
  if (codePage != 0 && attachment != 0) return;
  if (length < 2) return;
  int position = 0;
  for (;;) {
    const int lineEnd = findLineEnd(text, position, length - 1);
    if (lineEnd < 0) return;
    const int lineStart = position;
    position = lineEnd + 2;
    if (static_cast<size_t>(lineEnd - lineStart) >= kMaxBodyLineBytes) continue;
    const std::string_view line = lineText(text + lineStart, static_cast<size_t>(lineEnd - lineStart));
    const std::optional<Word> word = nextWord(line);
    if (!word) continue;
    if (codePage == 0) {
      if (std::optional<int> found = charsetLineCodePage(line, word->text)) {
        codePage = *found;
        if (codePage != 0 && attachment != 0) return;
        continue;
      }
    }
    if (attachment == 0 && isAttachmentLine(line, word->text)) {
      attachment = 1;
      if (codePage != 0) return;
    }
  }
}

TEST(BodyScan, FindsWhatAScanOfEveryLineFinds) {
  const std::string fragments[] = {
      "\r\n", "\r", "\n", " ", "\t", "\"", std::string(1, '\0'), "x", std::string(395, 'y'),
      "charset=koi8-r", "charset=\"windows-1251\"", "charset=bogus", "Charset=utf-8", "Content-Type:",
      "content-type: text/plain;", "Content-Disposition: attachment", "Content-Disposition: inline",
      "content-disposition:", "Content-Disposition:", "\tcharset=iso-8859-1"};
  std::mt19937 random(7);
  int withCharset = 0, withAttachment = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 40);
    for (int p = 0; p < pieces; ++p) text += fragments[random() % std::size(fragments)];
    for (int startCodePage : {0, 20866}) {
      for (int startAttachment : {0, 1}) {
        int expectedCodePage = startCodePage, expectedAttachment = startAttachment;
        scanEveryLine(text.data(), static_cast<int>(text.size()), expectedCodePage, expectedAttachment);
        int codePage = startCodePage, attachment = startAttachment;
        scanBodyForCharsetAndAttachment(text.data(), static_cast<int>(text.size()), codePage, attachment);
        ASSERT_EQ(codePage, expectedCodePage) << "round " << round;
        ASSERT_EQ(attachment, expectedAttachment) << "round " << round;
        withCharset += startCodePage == 0 && codePage != 0;
        withAttachment += startAttachment == 0 && attachment != 0;
      }
    }
  }
  // The random texts must exercise both findings, or the comparison proves little.
  EXPECT_GT(withCharset, 1000);
  EXPECT_GT(withAttachment, 1000);
}

}  // namespace
}  // namespace vireo

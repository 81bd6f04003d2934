// The marks answer as findLineEnd and memchr do, and passing plain lines in bulk counts and stops
// as the header scan's own line-by-line test would.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "content/header_line.h"
#include "content/header_line_marks.h"

namespace vireo {
namespace {

using namespace std::string_literals;

// Random text over the bytes the marks look at, in an exact-size copy so that a read past its
// end trips the address sanitizer. Sizes reach past the marked bytes, where the plain search
// takes over.
struct RandomText {
  std::unique_ptr<char[]> bytes;
  int length = 0;
};

RandomText randomText(std::mt19937& random, int length) {
  static const std::string kAlphabet = "\r\n\r\n:=ab <\t\0x"s;
  RandomText text{std::unique_ptr<char[]>(new char[length == 0 ? 1 : length]), length};
  // Runs of one byte now and then, so lines both short and longer than a block occur.
  for (int i = 0; i < length;) {
    const char c = kAlphabet[random() % kAlphabet.size()];
    const int run = random() % 8 == 0 ? 1 + static_cast<int>(random() % 150) : 1;
    for (int k = 0; k < run && i < length; ++k) text.bytes[i++] = c;
  }
  return text;
}

int randomLength(std::mt19937& random) {
  switch (random() % 4) {
    case 0: return static_cast<int>(random() % 200);
    case 1: return static_cast<int>(random() % 3000);
    default: return HeaderLineMarks::kMarkedBytes - 300 + static_cast<int>(random() % 600);
  }
}

bool plainHoldsColonOrEquals(const char* start, size_t span) {
  return std::memchr(start, ':', span) != nullptr || std::memchr(start, '=', span) != nullptr;
}

TEST(HeaderLineMarks, AnswersAsFindLineEndAndMemchr) {
  std::mt19937 random(77);
  for (int round = 0; round < 300; ++round) {
    const RandomText text = randomText(random, randomLength(random));
    HeaderLineMarks marks(text.bytes.get(), text.length);
    // Mostly forward, as the scan asks, with jumps back and ahead.
    for (int query = 0; query < 200 && text.length > 1; ++query) {
      const int from = static_cast<int>(random() % static_cast<unsigned>(text.length));
      const int limit = static_cast<int>(random() % static_cast<unsigned>(text.length));
      ASSERT_EQ(marks.findLineEnd(from, limit), findLineEnd(text.bytes.get(), from, limit))
          << round << " " << from << " " << limit;
      const size_t span = random() % std::min<unsigned>(500, static_cast<unsigned>(text.length - from) + 1);
      ASSERT_EQ(marks.holdsColonOrEquals(from, span), plainHoldsColonOrEquals(text.bytes.get() + from, span))
          << round << " " << from << " " << span;
    }
  }
}

// The header scan's test of one line, by the plain definitions.
bool plainLine(const char* text, int lineStart, int lineEnd) {
  const size_t length = static_cast<size_t>(lineEnd - lineStart);
  const char first = text[lineStart];
  return length > 0 && length <= kMaxHeaderLineBytes && first != '\0' && !isWordDelimiter(first) &&
         !plainHoldsColonOrEquals(text + lineStart, length);
}

TEST(HeaderLineMarks, PassesPlainLinesAsTheLineByLineTest) {
  std::mt19937 random(78);
  // Lines rather than bytes: plain words, words with ':' or '=', blank and long lines.
  const std::string kLines[] = {"This is a plain line of a body\r\n", "ab\r\n", "Subject: x\r\n", "x=y\r\n",
                                "\r\n", " folded\r\n", std::string(450, 'L') + "\r\n", "a\0b\r\n"s,
                                std::string(60, 'q') + "\r\n", "no end "};
  for (int round = 0; round < 2000; ++round) {
    std::string built;
    const int count = static_cast<int>(random() % (round % 10 == 0 ? 700 : 60));
    for (int i = 0; i < count; ++i) built += kLines[random() % std::size(kLines)];
    const int length = static_cast<int>(built.size());
    std::unique_ptr<char[]> text(new char[built.size() + 1]);
    std::memcpy(text.get(), built.data(), built.size());
    const int limit = length - static_cast<int>(random() % 6);
    const int maxLines = static_cast<int>(random() % 120);

    // The plain definitions, line by line.
    const int firstStart = random() % 3 == 0 && length > 0 ? static_cast<int>(random() % length) : 0;
    const int firstLines = static_cast<int>(random() % 10);
    int expectedStart = firstStart;
    int expectedLines = firstLines;
    bool expectedStop = false;
    while (expectedStart < limit) {
      const int end = findLineEnd(text.get(), expectedStart, limit);
      if (end < 0 || !plainLine(text.get(), expectedStart, end)) break;
      expectedStart = end + 2;
      if (++expectedLines > maxLines) {
        expectedStop = true;
        break;
      }
    }
    // As the scan uses it: the bulk pass, then one line the long way, and again.
    HeaderLineMarks marks(text.get(), length);
    int lineStart = firstStart;
    int lines = firstLines;
    bool stop = false;
    while (lineStart < limit) {
      if (marks.passPlainLines(lineStart, limit, lines, maxLines)) {
        stop = true;
        break;
      }
      if (lineStart >= limit) break;
      const int end = marks.findLineEnd(lineStart, limit);
      if (end < 0 || !plainLine(text.get(), lineStart, end)) break;
      lineStart = end + 2;
      if (++lines > maxLines) {
        stop = true;
        break;
      }
    }
    ASSERT_EQ(stop, expectedStop) << round;
    ASSERT_EQ(lineStart, expectedStart) << round;
    ASSERT_EQ(lines, expectedLines) << round;
  }

  // Short plain lines go in one pass.
  std::string body;
  for (int i = 0; i < 50; ++i) body += "This is line " + std::to_string(i) + " of a body\r\n";
  body += "Subject: x\r\n\r\n\r\n";
  HeaderLineMarks marks(body.data(), static_cast<int>(body.size()));
  int lineStart = 0;
  int lines = 0;
  EXPECT_FALSE(marks.passPlainLines(lineStart, static_cast<int>(body.size()) - 4, lines, 100));
  EXPECT_EQ(lines, 50);
  EXPECT_EQ(body.compare(static_cast<size_t>(lineStart), 8, "Subject:"), 0);
}

}  // namespace
}  // namespace vireo

// The one-pass first word of a line is the word the plain steps find: cut the line at its first
// NUL, then take the next word.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "content/header_line.h"

namespace vireo {
namespace {

using namespace std::string_literals;

std::string_view plainFirstWord(const char* start, size_t length) {
  const std::optional<Word> word = nextWord(lineText(start, length));
  return word ? word->text : std::string_view();
}

TEST(HeaderLine, FirstWordOfLineMatchesCuttingAtNulThenTakingTheWord) {
  // Delimiters, NULs and word bytes in every order; each line in an exact-size copy so a read
  // past its length trips the address sanitizer.
  const std::string alphabet = "<>\" \t\r\n\0\0aZ:=-\x80\xFF"s;
  std::mt19937 random(2024);
  for (int round = 0; round < 20000; ++round) {
    const size_t size = random() % 24;
    std::unique_ptr<char[]> line(new char[size == 0 ? 1 : size]);
    for (size_t i = 0; i < size; ++i) line[i] = alphabet[random() % alphabet.size()];
    for (size_t length = 0; length <= size; length += 1 + random() % 4) {
      const std::string_view fast = firstWordOfLine(line.get(), length);
      const std::string_view plain = plainFirstWord(line.get(), length);
      ASSERT_EQ(fast, plain) << round << " " << length;
      if (!plain.empty()) {
        ASSERT_EQ(fast.data(), plain.data()) << round;
      }
    }
  }
  EXPECT_EQ(firstWordOfLine(" \t<Subject:> x", 14), "Subject:");
  EXPECT_EQ(firstWordOfLine("  \0Subject:", 11), "");
  EXPECT_EQ(firstWordOfLine("Sub\0ject: x", 11), "Sub");
}

}  // namespace
}  // namespace vireo

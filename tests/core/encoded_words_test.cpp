#include <gtest/gtest.h>

#include <string>

#include "content/b_q_decoders.h"
#include "content/encoded_words.h"

namespace vireo {
namespace {

struct Decoded {
  std::optional<std::string> text;
  int wordCodePage = -7;  // marks "left alone"
  int target = 0;
};

Decoded decode(const std::string& value) {
  Decoded d;
  d.text = decodeHeaderWords(value.c_str(), static_cast<int>(value.size()), d.target,
                             d.wordCodePage);
  return d;
}

std::optional<std::string> b(const std::string& text, int capacity) {
  std::string out(static_cast<size_t>(capacity > 0 ? capacity : 0), '\0');
  int count = capacity;
  int result = decodeBText(text.data(), static_cast<int>(text.size()), out.data(), count);
  if (result < 0) return std::nullopt;
  EXPECT_EQ(count, result);
  return out.substr(0, static_cast<size_t>(result));
}

std::optional<std::string> q(const std::string& text) {
  std::string out(text.size(), '\0');
  int count = qTextCapacity(static_cast<int>(text.size()));
  int result = decodeQText(text.data(), static_cast<int>(text.size()), out.data(), count);
  if (result < 0) return std::nullopt;
  return out.substr(0, static_cast<size_t>(result));
}

TEST(EncodedWords, DecodesPrefixAndKoi8rBWordToUtf8) {
  Decoded d = decode("Re: =?koi8-r?B?8NLJ18XU?=");
  EXPECT_EQ(d.text, "Re: Привет");
  EXPECT_EQ(d.wordCodePage, 20866);
  EXPECT_EQ(d.target, 65001);

  d = decode("=?windows-1251?b?z/Do4uXyIOzo8A==?= again");
  EXPECT_EQ(d.text, "Привет мир again");
  EXPECT_EQ(d.wordCodePage, 1251);
}

TEST(EncodedWords, UnknownCharsetLeavesValueUndecoded) {
  Decoded d = decode("=?us-ascii?Q?hello?=");
  EXPECT_FALSE(d.text.has_value());
  EXPECT_EQ(d.wordCodePage, 0);
  d = decode("=?iso-8859-1*en?Q?caf=E9?=");  // RFC 2231 language suffix
  EXPECT_FALSE(d.text.has_value());
  d = decode("plain text, no words");
  EXPECT_FALSE(d.text.has_value());
  EXPECT_EQ(d.wordCodePage, -7);
  d = decode("=?koi8-r?B?8NLJ18XU?");  // no closing "?="
  EXPECT_FALSE(d.text.has_value());
  EXPECT_EQ(d.wordCodePage, -7);
}

TEST(EncodedWords, QWordsAcceptLowerCaseAndUnderscoresAndRejectControls) {
  EXPECT_EQ(decode("=?iso-8859-1?q?caf=e9_au_lait?=").text, "café au lait");
  EXPECT_EQ(decode("=?iso-8859-1?Q?caf=E9 noir?=").text, "cafénoir");
  EXPECT_FALSE(decode("=?iso-8859-1?Q?caf=E9\tnoir?=").text.has_value());
  EXPECT_FALSE(decode("=?iso-8859-1?Q?" "?=").text.has_value());      // empty text
  EXPECT_FALSE(decode("=?iso-8859-1?X?abc?=").text.has_value());   // unknown encoding
  EXPECT_FALSE(decode("=?iso-8859-1?QQ?abc?=").text.has_value());  // encoding of two letters
}

TEST(EncodedWords, SpacingBetweenWordsAndFailureOfALaterWord) {
  EXPECT_EQ(decode("=?utf-8?Q?a?= =?utf-8?Q?b?=").text, "a b");
  EXPECT_EQ(decode("=?utf-8?Q?a?==?utf-8?Q?b?=").text, "ab");
  Decoded d = decode("=?koi8-r?B?8NLJ18XU?= =?us-ascii?Q?x?= =?utf-8?Q?y?=");
  EXPECT_EQ(d.text, "Привет =?us-ascii?Q?x?= =?utf-8?Q?y?=");
  EXPECT_EQ(d.wordCodePage, 20866);
  d = decode("=?us-ascii?Q?x?= =?koi8-r?B?8NLJ18XU?=");
  EXPECT_FALSE(d.text.has_value());
}

TEST(EncodedWords, ManyWordsDoNotExhaustTheStack) {
  std::string value;
  for (int i = 0; i < 100000; ++i) value += "=?utf-8?Q?a?=";
  Decoded d = decode(value);
  ASSERT_TRUE(d.text.has_value());
  EXPECT_EQ(d.text->size(), 100000u);
}

TEST(EncodedWords, SingleWordKeepsBytesAfterItsEnd) {
  int target = 0;
  int codePage = 0;
  std::string word = "  =?utf-8?Q?ab?=cd";
  EXPECT_EQ(decodeEncodedWord(word.c_str(), static_cast<int>(word.size()), target, codePage),
            "abcd");
  EXPECT_EQ(codePage, 65001);
  for (int cut = 0; cut < static_cast<int>(word.size()) - 2; ++cut)
    EXPECT_FALSE(decodeEncodedWord(word.c_str(), cut, target, codePage).has_value()) << cut;
}

TEST(BDecoding, PaddingStrayCharactersAndCapacity) {
  EXPECT_EQ(b("SGkh", 3), "Hi!");
  EXPECT_EQ(b("YWI=", 3), "ab");
  EXPECT_EQ(b("YWI", 3), "ab");  // lost padding
  EXPECT_EQ(b("YQ", 3), "a");
  EXPECT_EQ(b("S Gk", 3), std::string("H\x01\xA4", 3));  // the space counts as 0 bits
  EXPECT_FALSE(b("====", 3).has_value());
  EXPECT_FALSE(b("SGkh", 2).has_value());  // buffer too small
  EXPECT_EQ(b("SGkhS", 6), "Hi!");  // a lone sixth of a byte adds nothing
  EXPECT_EQ(bTextCapacity(5), 6);
  EXPECT_EQ(bTextCapacity(0), 0);
}

TEST(QDecoding, EscapesAndErrors) {
  EXPECT_EQ(q("a=3Db"), "a=b");
  EXPECT_EQ(q("=c3=a9"), "\xC3\xA9");
  EXPECT_EQ(q("a_b c"), "a bc");
  EXPECT_FALSE(q("abc=").has_value());  // no soft line breaks
  EXPECT_FALSE(q("abc=4").has_value());
  EXPECT_FALSE(q("=G1").has_value());
  EXPECT_FALSE(q("caf\xE9").has_value());
  EXPECT_FALSE(q("a\r\nb").has_value());
  EXPECT_EQ(qTextCapacity(7), 7);
}

}  // namespace
}  // namespace vireo

// The one check of well-formed UTF-8 that the preview's text and the CLI's JSON share.
#include <gtest/gtest.h>

#include "platform/utf8_validation.h"

namespace vireo::testing {
namespace {

TEST(Utf8Validation, AcceptsWellFormedSequencesOnly) {
  EXPECT_EQ(validUtf8SequenceLength("a", 0), 1u);
  EXPECT_EQ(validUtf8SequenceLength("x\xc3\xa9", 1), 2u);
  EXPECT_EQ(validUtf8SequenceLength("\xe2\x82\xac", 0), 3u);
  EXPECT_EQ(validUtf8SequenceLength("\xf4\x8f\xbf\xbf", 0), 4u);  // U+10FFFF, the last
  for (const char* bad : {"\xc0\x80", "\xc1\xbf", "\xe0\x80\x80", "\xf0\x80\x80\x80",  // overlong
                          "\xed\xa0\x80", "\xed\xbf\xbf",                                // surrogates
                          "\xf4\x90\x80\x80", "\xf5\x80\x80\x80",                        // above U+10FFFF
                          "\x80", "\xe2\x82", "\xe2\x28\xa1"})                           // stray, cut, broken
    EXPECT_EQ(validUtf8SequenceLength(bad, 0), 0u) << ::testing::PrintToString(std::string(bad));
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("Caf\xc3\xa9 \xe2\x82\xac"));
  EXPECT_FALSE(isValidUtf8("Caf\xe9"));
}

}  // namespace
}  // namespace vireo::testing

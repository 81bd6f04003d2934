#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "content/charset_table.h"
#include "content/code_page_conversion.h"
#include "content/code_pages.h"

namespace vireo {
namespace {

int lookup(const char* name) { return lookupCharset(name, static_cast<int>(std::strlen(name))); }

TEST(CharsetLookup, IgnoresCaseButNeedsTheExactName) {
  EXPECT_EQ(lookup("koi8-r"), 20866);
  EXPECT_EQ(lookup("KOI8-R"), 20866);
  EXPECT_EQ(lookup("Koi8-R"), 20866);
  EXPECT_EQ(lookup("koi8"), 0);
  EXPECT_EQ(lookup("ks_c_5601-1987"), 0);
  EXPECT_EQ(lookup("ks_c_5601"), 949);
  EXPECT_EQ(lookup("us-ascii"), 0);
  EXPECT_EQ(lookup("gb2312"), 0);
  EXPECT_EQ(lookup("big5"), 0);
  EXPECT_EQ(lookupCharset("windows-1251", 7), 0);  // cut short
  EXPECT_EQ(lookupCharset("windows-1251xyz", 12), 1251);  // length, not the NUL, bounds it
  EXPECT_EQ(lookupCharset(nullptr, 0), 0);
}

TEST(CharsetLookup, LastMatchingRowWins) {
  EXPECT_EQ(lookup("iso-8859-1"), 28591);
  EXPECT_EQ(lookup("iso-2022-jp"), 50220);
  EXPECT_EQ(lookup("x-euc"), 51932);
  EXPECT_EQ(lookup("euc-jp"), 51932);
  EXPECT_EQ(charsetTable.size(), 38u);
  EXPECT_STREQ(charsetTable.back().name, "x-user-defined");
}

TEST(CodePages, EveryCharsetRowButUserDefinedHasAConverter) {
  for (const CharsetRow& row : charsetTable) {
    if (row.codePage == 50000) {
      EXPECT_EQ(iconvNameForCodePage(row.codePage), nullptr);
      continue;
    }
    EXPECT_NE(iconvNameForCodePage(row.codePage), nullptr) << row.name;
    EXPECT_TRUE(convertCodePage("abc", row.codePage, kAnsiCodePage).has_value()) << row.name;
  }
}

// A code page listed twice answers with its first row.
TEST(CodePages, RepeatedAndUnknownNumbers) {
  EXPECT_STREQ(iconvNameForCodePage(874), "CP874");
  EXPECT_STREQ(iconvNameForCodePage(1200), "UTF-16LE");
  EXPECT_FALSE(isAsciiTransparent(1200));
  EXPECT_STREQ(iconvNameForCodePage(21886), "KOI8-U");
  EXPECT_STREQ(iconvNameForCodePage(20866), "KOI8-R");  // the first row
  EXPECT_STREQ(iconvNameForCodePage(12001), "UTF-32BE");  // the last
  EXPECT_TRUE(isAsciiTransparent(65001));
  EXPECT_FALSE(isAsciiTransparent(65000));
  EXPECT_EQ(codePageForDetectedCharset("ISO-8859-11"), 874);
  for (const int unknown : {0, -1, 1, 20000, 65002, 2147483647}) {
    EXPECT_EQ(iconvNameForCodePage(unknown), nullptr) << unknown;
    EXPECT_FALSE(isAsciiTransparent(unknown)) << unknown;
  }
}

TEST(CodePageConversion, ConvertsCyrillicAndWesternToUtf8) {
  // "Привет" in KOI8-R and in windows-1251; "café" in ISO-8859-1.
  EXPECT_EQ(convertCodePage("\xF0\xD2\xC9\xD7\xC5\xD4", 20866, 65001), "Привет");
  EXPECT_EQ(convertCodePage("\xCF\xF0\xE8\xE2\xE5\xF2", 1251, 65001), "Привет");
  EXPECT_EQ(convertCodePage("caf\xE9", 28591, 65001), "café");
  EXPECT_EQ(convertCodePage("Привет", 65001, 1251), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(convertCodePage("+BB8EQAQ4BDIENQRC-", 65000, 65001), "Привет");
}

TEST(CodePageConversion, EmptyTextAndUnknownCodePages) {
  EXPECT_EQ(convertCodePage("", 20866, 65001), "");
  EXPECT_EQ(convertCodePage("", 50000, 65001), "");
  EXPECT_FALSE(convertCodePage("abc", 50000, 65001).has_value());
  EXPECT_FALSE(convertCodePage("abc", 12345, 65001).has_value());
  EXPECT_FALSE(convertCodePage("abc", 65001, -1).has_value());
}

TEST(CodePageConversion, InvalidBytesAreReplacedAndTheRestKept) {
  EXPECT_EQ(convertCodePage("a\xFF" "b\xC3", 65001, 65001), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  // A Shift-JIS lead byte cut off by the end of the text.
  EXPECT_EQ(convertCodePage("ok\x82", 932, 65001), "ok\xEF\xBF\xBD");
  // A character windows-1251 cannot hold becomes one '?', not one per UTF-8 byte.
  EXPECT_EQ(convertCodePage("a€ü", 65001, 1251), "a\x88?");
}

TEST(CodePageDetection, FindsCyrillicAndReportsPlainAscii) {
  const char* koi8 =
      "\xF0\xD2\xC9\xD7\xC5\xD4, \xCB\xC1\xCB \xC4\xC5\xCC\xC1? \xFC\xD4\xCF "
      "\xD0\xD2\xCF\xD7\xC5\xD2\xCB\xC1 \xD2\xD5\xD3\xD3\xCB\xCF\xC7\xCF \xD4\xC5\xCB\xD3\xD4\xC1";
  EXPECT_EQ(detectCodePage(koi8), 20866);
  EXPECT_EQ(detectCodePage("Hello there"), 20127);
  EXPECT_EQ(detectCodePage(""), 0);
  EXPECT_EQ(convertCodePage("Hello", detectCodePage("Hello"), 65001), "Hello");
}

}  // namespace
}  // namespace vireo

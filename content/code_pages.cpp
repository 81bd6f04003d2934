#include "content/code_pages.h"

#include <array>
#include <cstdint>

#include "platform/ascii_case.h"

namespace vireo {
namespace {

struct CodePageRow {
  int codePage;
  const char* iconvName;     // nullptr: no converter here
  const char* detectedName;  // uchardet's name for it, nullptr when it never reports it
  bool asciiTransparent;
};

// Code pages of the charset table first, then those only uchardet reports. 21886 is what the
// charset table gives for koi8-u; KOI8-U's real number is 21866, so both are mapped.
constexpr std::array<CodePageRow, 56> kCodePages = {{
    {20866, "KOI8-R", "KOI8-R", true},
    {1251, "CP1251", "WINDOWS-1251", true},
    {28595, "ISO-8859-5", "ISO-8859-5", true},
    {866, "CP866", "IBM866", true},
    {65000, "UTF-7", nullptr, false},
    {65001, "UTF-8", "UTF-8", true},
    {20106, "DIN_66003", nullptr, false},
    {20108, "NS_4551-1", nullptr, false},
    {20107, "SEN_850200_B", nullptr, false},
    {852, "CP852", "IBM852", true},
    {20105, "ISO_646.IRV:1991", nullptr, true},
    {50220, "ISO-2022-JP", "ISO-2022-JP", false},
    {50222, "ISO-2022-JP", nullptr, false},
    {50225, "ISO-2022-KR", "ISO-2022-KR", false},
    {1252, "CP1252", "WINDOWS-1252", true},
    {28591, "ISO-8859-1", "ISO-8859-1", true},
    {28592, "ISO-8859-2", "ISO-8859-2", true},
    {28593, "ISO-8859-3", "ISO-8859-3", true},
    {28594, "ISO-8859-4", "ISO-8859-4", true},
    {28596, "ISO-8859-6", "ISO-8859-6", true},
    {28597, "ISO-8859-7", "ISO-8859-7", true},
    {28598, "ISO-8859-8", "ISO-8859-8", true},
    {21886, "KOI8-U", nullptr, true},
    {21866, "KOI8-U", "KOI8-U", true},
    {949, "CP949", "UHC", true},
    {932, "CP932", "SHIFT_JIS", true},
    {51932, "EUC-JP", "EUC-JP", true},
    {1250, "CP1250", "WINDOWS-1250", true},
    {1253, "CP1253", "WINDOWS-1253", true},
    {1254, "CP1254", "WINDOWS-1254", true},
    {1255, "CP1255", "WINDOWS-1255", true},
    {1256, "CP1256", "WINDOWS-1256", true},
    {1257, "CP1257", "WINDOWS-1257", true},
    {1258, "CP1258", "WINDOWS-1258", true},
    {874, "CP874", "TIS-620", true},
    {874, "CP874", "ISO-8859-11", true},
    {50000, nullptr, nullptr, false},
    {20127, "ASCII", "ASCII", true},
    {28599, "ISO-8859-9", "ISO-8859-9", true},
    {28603, "ISO-8859-13", "ISO-8859-13", true},
    {28605, "ISO-8859-15", "ISO-8859-15", true},
    {855, "CP855", "IBM855", true},
    {10007, "MAC-CYRILLIC", "MAC-CYRILLIC", true},
    {10029, "MAC-CENTRALEUROPE", "MAC-CENTRALEUROPE", true},
    {950, "BIG5", "BIG5", true},
    {936, "GBK", "GB2312", true},
    {54936, "GB18030", "GB18030", true},
    {52936, nullptr, "HZ-GB-2312", false},
    {51949, "EUC-KR", "EUC-KR", true},
    {51950, "EUC-TW", "EUC-TW", true},
    {50227, "ISO-2022-CN", "ISO-2022-CN", false},
    {1200, "UTF-16LE", "UTF-16LE", false},
    {1201, "UTF-16BE", "UTF-16BE", false},
    {1200, "UTF-16", "UTF-16", false},
    {12000, "UTF-32LE", "UTF-32LE", false},
    {12001, "UTF-32BE", "UTF-32BE", false},
}};

// Every header value asks for two or three rows, so the rows are found by a table over every
// code page number: each entry is one more than the index of the number's first row, 0 for none.
constexpr int kCodePageNumbers = 65536;
constexpr auto kRowOfCodePage = [] {
  std::array<uint8_t, kCodePageNumbers> rows{};
  for (size_t i = kCodePages.size(); i-- > 0;) rows[static_cast<size_t>(kCodePages[i].codePage)] = static_cast<uint8_t>(i + 1);
  return rows;
}();
static_assert(kCodePages.size() < 255);

const CodePageRow* findCodePage(int codePage) {
  if (codePage < 0 || codePage >= kCodePageNumbers) return nullptr;
  const uint8_t row = kRowOfCodePage[static_cast<size_t>(codePage)];
  return row == 0 ? nullptr : &kCodePages[row - 1];
}

}  // namespace

const char* iconvNameForCodePage(int codePage) {
  const CodePageRow* row = findCodePage(codePage);
  return row != nullptr ? row->iconvName : nullptr;
}

bool isAsciiTransparent(int codePage) {
  const CodePageRow* row = findCodePage(codePage);
  return row != nullptr && row->asciiTransparent;
}

int codePageForDetectedCharset(std::string_view detectedName) {
  if (detectedName.empty()) return 0;
  for (const CodePageRow& row : kCodePages)
    if (row.detectedName != nullptr && equalsIgnoringAsciiCase(row.detectedName, detectedName))
      return row.codePage;
  return 0;
}

}  // namespace vireo

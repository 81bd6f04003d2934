#include "content/charset_table.h"

#include <string_view>

#include "platform/ascii_case.h"

namespace vireo {

const std::array<CharsetRow, 38> charsetTable = {{
    {"koi8-r", 20866, "Cyrillic Alphabet (KOI8-R)"},
    {"windows-1251", 1251, "Cyrillic Alphabet (Windows)"},
    {"iso-8859-5", 28595, "Cyrillic Alphabet (ISO)"},
    {"ibm866", 866, "Cyrillic Alphabet (DOS)"},
    {"utf-7", 65000, "Universal Alphabet (UTF-7)"},
    {"utf-8", 65001, "Universal Alphabet (UTF-8)"},
    {"DIN_66003", 20106, "IA5 (German)"},
    {"NS_4551-1", 20108, "IA5 (Norwegian)"},
    {"SEN_850200_B", 20107, "IA5 (Swedish)"},
    {"ibm852", 852, "Central European (DOS)"},
    {"irv", 20105, "IA5 (IRV)"},
    {"iso-2022-jp", 50220, "Japanese (JIS)"},
    {"iso-2022-jp", 50222, "Japanese (JIS-Allow 1 byte Kana)"},
    {"iso-2022-kr", 50225, "Korean (ISO)"},
    {"iso-8859-1", 1252, "Western Alphabet"},
    {"iso-8859-1", 28591, "Western Alphabet (ISO)"},
    {"iso-8859-2", 28592, "Central European Alphabet (ISO)"},
    {"iso-8859-3", 28593, "Latin 3 Alphabet (ISO)"},
    {"iso-8859-4", 28594, "Baltic Alphabet (ISO)"},
    {"iso-8859-6", 28596, "Arabic Alphabet (ISO)"},
    {"iso-8859-7", 28597, "Greek Alphabet (ISO)"},
    {"iso-8859-8", 28598, "Hebrew Alphabet (ISO)"},
    {"koi8-u", 21886, "Ukranian (KOI8-U)"},
    {"ks_c_5601", 949, "Korean"},
    {"shift_jis", 932, "Japanese (Shift-JIS)"},
    {"euc-jp", 51932, "Japanese (EUC)"},
    {"iso-2022-jp", 50220, "Japanese (JIS)"},
    {"windows-1250", 1250, "Central European Alphabet (Windows)"},
    {"windows-1252", 1252, "Western Alphabet (Windows)"},
    {"windows-1253", 1253, "Greek Alphabet (Windows)"},
    {"windows-1254", 1254, "Turkish Alphabet"},
    {"windows-1255", 1255, "Hebrew Alphabet (Windows)"},
    {"windows-1256", 1256, "Arabic Alphabet (Windows)"},
    {"windows-1257", 1257, "Baltic Alphabet (Windows)"},
    {"windows-1258", 1258, "Vietnamese Alphabet (Windows)"},
    {"windows-874", 874, "Thai (Windows)"},
    {"x-euc", 51932, "Japanese (EUC)"},
    {"x-user-defined", 50000, "User Defined"},
}};

int lookupCharset(const char* name, int length) {
  if (name == nullptr || length <= 0) return 0;
  // The names' lengths are taken once, not at every look-up: a look-up is made for every charset
  // line of every message read.
  static const std::array<std::string_view, charsetTable.size()> names = [] {
    std::array<std::string_view, charsetTable.size()> views;
    for (size_t i = 0; i < charsetTable.size(); ++i) views[i] = charsetTable[i].name;
    return views;
  }();
  // Names of one length mostly differ in their last byte ("windows-1251", "iso-8859-5"): that
  // byte is compared first.
  const std::string_view wanted(name, static_cast<size_t>(length));
  const char last = asciiLower(wanted.back());
  for (size_t i = names.size(); i-- > 0;)
    if (names[i].size() == wanted.size() && asciiLower(names[i].back()) == last &&
        equalsIgnoringAsciiCase(names[i], wanted))
      return charsetTable[i].codePage;
  return 0;
}

}  // namespace vireo

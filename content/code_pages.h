#pragma once
// Code page numbers are how character sets travel between the parser, the decoders and the
// converter. This is the one place that knows what each number means to iconv and uchardet.
#include <string_view>

namespace vireo {

// The code page every summary field is converted to (what Windows calls the ANSI code page).
inline constexpr int kAnsiCodePage = 65001;
inline constexpr int ansiCodePage() { return kAnsiCodePage; }

// iconv's name for a code page, or nullptr when it has none (50000, unknown numbers).
const char* iconvNameForCodePage(int codePage);

// True when the code page's bytes 0x00..0x7F are plain ASCII, so a 7-bit text needs no
// conversion to or from it.
bool isAsciiTransparent(int codePage);

// Code page of a charset name reported by uchardet (case ignored), 0 when none fits.
int codePageForDetectedCharset(std::string_view detectedName);

}  // namespace vireo

#pragma once
// Message text in whatever charset it declares (or none), made valid UTF-8 for the preview page.
#include <string>
#include <string_view>

#include "platform/utf8_validation.h"

namespace vireo {

// bytes converted to UTF-8 from the declared charset: a name of the charset table, or any other
// name iconv knows. A missing or unknown name, or US-ASCII declared for 8-bit text, is replaced
// by the code page detected in the text; when nothing is detected the text is taken as UTF-8.
// Bytes invalid in the source become U+FFFD, so the result is always valid UTF-8.
std::string decodeTextToUtf8(std::string_view bytes, std::string_view charset);

// text itself when it is valid UTF-8; otherwise with every invalid byte replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace vireo

#pragma once
// Header values as the preview shows them: unfolded, encoded words decoded, UTF-8.
#include <string>
#include <string_view>

namespace vireo {

// rawValue as stored (folded, perhaps with encoded words in any charset iconv knows, perhaps
// with raw 8-bit text); raw 8-bit text is read in fallbackCharset, or a detected one when that
// is empty. The result is valid UTF-8, not escaped.
std::string displayHeaderValue(std::string_view rawValue, std::string_view fallbackCharset);

}  // namespace vireo

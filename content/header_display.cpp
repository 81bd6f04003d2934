#include "content/header_display.h"

#include <algorithm>
#include <optional>

#include "content/encoded_words.h"
#include "content/gmime_ref.h"
#include "content/header_line.h"
#include "content/text_decoding.h"

namespace vireo {

std::string displayHeaderValue(std::string_view rawValue, std::string_view fallbackCharset) {
  // Unfolded as the summary fields are: only the line breaks go.
  std::string value = unfoldHeaderValue(rawValue);
  const auto notBlank = [](char c) { return c != ' ' && c != '\t'; };
  value.erase(value.begin(), std::find_if(value.begin(), value.end(), notBlank));
  value.erase(std::find_if(value.rbegin(), value.rend(), notBlank).base(), value.end());
  // Raw 8-bit text first: encoded words are ASCII and pass through unchanged.
  value = decodeTextToUtf8(value, fallbackCharset);
  if (value.find("=?") == std::string::npos) return value;
  int target = 65001;
  int wordCodePage = 0;
  if (std::optional<std::string> decoded =
          decodeHeaderWords(value.c_str(), static_cast<int>(value.size()), target, wordCodePage))
    value = validUtf8(*decoded);
  if (value.find("=?") == std::string::npos) return value;
  // Words in charsets outside the charset table. GMime is not first: it joins the base64 of
  // adjacent words before decoding, which loses every word after one that ends in padding.
  gmime::initialise();
  const gmime::String decoded(g_mime_utils_header_decode_text(nullptr, value.c_str()));
  return decoded != nullptr ? validUtf8(decoded.get()) : value;
}

}  // namespace vireo

#pragma once
// Well-formed UTF-8 as Unicode defines it: no overlong forms, no surrogates, nothing above
// U+10FFFF. A base's text may hold any bytes; what goes to a browser or into JSON must be this.
#include <cstddef>
#include <string_view>

namespace vireo {

// The length of the well-formed sequence that starts at text[at] (1 for ASCII), or 0 when none
// starts there.
size_t validUtf8SequenceLength(std::string_view text, size_t at);

bool isValidUtf8(std::string_view text);

}  // namespace vireo

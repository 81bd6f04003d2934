#pragma once
// The first place a needle occurs in a text, as memmem gives it, for the body scan's two
// needles over whole messages (a base's bytes are mostly bodies and attachments).
#include <cstddef>
#include <string_view>

namespace vireo {

// The first occurrence of needle (at least two bytes) in the length bytes at text, or nullptr.
const char* findNeedle(const char* text, size_t length, std::string_view needle);

}  // namespace vireo

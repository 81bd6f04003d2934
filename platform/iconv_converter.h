#pragma once
// Conversion between two iconv encodings that never gives up on bad bytes: a byte the source
// cannot decode becomes U+FFFD (or '?' when the target is not UTF-8) and the rest of the text is
// still converted. Descriptors are opened once per thread and pair of names, because conversion
// runs for several fields of every message of a base.
#include <optional>
#include <string>
#include <string_view>

namespace vireo {

// Nothing when iconv does not know one of the names.
std::optional<std::string> convertWithIconv(std::string_view input, const char* fromName,
                                            const char* toName);

}  // namespace vireo

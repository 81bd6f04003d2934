#pragma once
// The name under which an attachment is listed and offered for saving.
#include <string>
#include <string_view>

namespace vireo {

// decodedName (UTF-8) made safe as a file name: only its last path component, without control
// characters, at most 255 bytes. When nothing usable is left, "attachment-<key>" with an
// extension that fits mimeType.
std::string attachmentFileName(std::string_view decodedName, std::string_view mimeType, std::string_view key);

}  // namespace vireo

#pragma once
// Text placed into the preview page: escaped, so nothing in it is read as markup.
#include <string>
#include <string_view>

namespace vireo {

// Appends text (UTF-8) with &, <, >, " and ' as character references; a NUL becomes U+FFFD.
void appendEscapedHtml(std::string& out, std::string_view text);

std::string escapeHtml(std::string_view text);

// Plain text for a block shown with white-space: pre-wrap: escaped, CRLF line ends made LF.
void appendPlainTextHtml(std::string& out, std::string_view text);

}  // namespace vireo

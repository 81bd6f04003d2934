#pragma once
// The preview page's own markup: the frame around a message's body and the header block of a
// message forwarded inside it (the window draws the top-level headers and the attachments
// itself, where the message's CSS cannot reach). Every text handed in is UTF-8 and is escaped
// here.
#include <cstdint>
#include <string>
#include <string_view>

#include "content/message_renderer.h"

namespace vireo {

using content::DisplayedHeaders;

// A complete page: doctype, UTF-8, the Content-Security-Policy, title, the stylesheet and body
// (markup, inserted as it is).
std::string previewPageHtml(std::string_view title, std::string_view bodyHtml);

// From, To, Cc, Subject and Date as a table; an empty field is left out.
void appendHeaderBlock(std::string& out, const DisplayedHeaders& headers);

// "512 bytes", "12.3 KB", "4.0 MB" (units of 1,024, one decimal), whatever the locale.
std::string formatByteSize(uint64_t bytes);

}  // namespace vireo

#pragma once
// The preview page's own markup: the frame around a message, its header block and the list of
// attachments. Every text handed in is UTF-8 and is escaped here.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/message_renderer.h"

namespace vireo {

using content::DisplayedHeaders;

// A complete page: doctype, UTF-8, the stylesheet, title and body (markup, inserted as it is).
std::string previewPageHtml(std::string_view title, std::string_view bodyHtml);

// From, To, Cc, Subject and Date as a table; an empty field is left out.
void appendHeaderBlock(std::string& out, const DisplayedHeaders& headers);

// A list of links to "part/<key>", each with its name and size; nothing when there is none.
void appendAttachmentBlock(std::string& out, const std::vector<content::RenderedAttachment>& attachments);

// "512 bytes", "12.3 KB", "4.0 MB" (units of 1,024, one decimal), whatever the locale.
std::string formatByteSize(uint64_t bytes);

}  // namespace vireo

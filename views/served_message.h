#pragma once
// A rendered message in the form the pane serves and draws it: the page and parts as Qt byte
// arrays (shared, never copied again on the interface thread), the headers and attachments the
// window draws itself.
#include <QByteArray>
#include <QString>
#include <map>
#include <vector>

#include "content/message_renderer.h"

namespace vireo::views {

struct ServedPart {
  QByteArray mimeType;
  QByteArray bytes;
};

struct ServedMessage {
  content::DisplayedHeaders headers;
  QByteArray page;
  std::map<QString, ServedPart> parts;
  std::vector<content::RenderedAttachment> attachments;
};

// Moves what it can; the bytes are copied once, wherever this runs (the render worker).
ServedMessage toServedMessage(content::RenderedMessage&& rendered);

}  // namespace vireo::views

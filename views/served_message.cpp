#include "views/served_message.h"

namespace vireo::views {
namespace {

QByteArray bytesOf(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

ServedMessage toServedMessage(content::RenderedMessage&& rendered) {
  ServedMessage served;
  served.headers = std::move(rendered.headers);
  served.page = bytesOf(rendered.html);
  rendered.html.clear();
  rendered.html.shrink_to_fit();
  for (auto& [key, part] : rendered.parts) {
    served.parts[QString::fromStdString(key)] = {bytesOf(part.mimeType), bytesOf(part.bytes)};
    part.bytes.clear();
    part.bytes.shrink_to_fit();
  }
  served.attachments = std::move(rendered.attachments);
  return served;
}

}  // namespace vireo::views

// A stand-in until the GMime renderer arrives: every message is shown as its escaped text.
#include "content/message_renderer.h"

namespace vireo::content {

struct MessageRenderer::State {};

MessageRenderer::MessageRenderer() : state_(std::make_unique<State>()) {}
MessageRenderer::~MessageRenderer() = default;

RenderedMessage MessageRenderer::render(std::string_view messageBytes) {
  RenderedMessage rendered;
  rendered.shownRaw = true;
  std::string& html = rendered.html;
  html.reserve(messageBytes.size() + messageBytes.size() / 8 + 128);
  html += "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><pre>";
  for (const char c : messageBytes) {
    switch (c) {
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '&': html += "&amp;"; break;
      case '"': html += "&quot;"; break;
      default: html += c;
    }
  }
  html += "</pre></body></html>";
  return rendered;
}

}  // namespace vireo::content

#pragma once
// Turns a message's stored bytes (an Internet message, MIME or not) into one HTML page the preview
// can show, plus the parts the page refers to. The message is untrusted: the page carries no
// script of its own, every text is escaped, and the parts are addressed only by the keys given
// here, so the view decides what may be fetched.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::content {

// A part the page refers to: an inline picture (from a "cid:" reference) or an attachment.
struct RenderedPart {
  std::string mimeType;  // e.g. "image/png"; "application/octet-stream" when unknown
  std::string bytes;     // transfer encoding already decoded
};

struct RenderedAttachment {
  std::string name;      // the part's file name (decoded), or a made-up one when it has none
  std::string mimeType;
  uint64_t size = 0;     // decoded bytes
  std::string key;       // its entry in RenderedMessage::parts
};

// The top-level message's headers, decoded to UTF-8, for the window to draw itself: the page
// cannot reach what it does not contain. An empty field was absent.
struct DisplayedHeaders {
  std::string from;
  std::string to;
  std::string cc;
  std::string newsgroups;  // news posts
  std::string followupTo;
  std::string subject;
  std::string date;
};

struct RenderedMessage {
  DisplayedHeaders headers;
  // A complete UTF-8 page holding the body alone (headers and attachments are drawn by the
  // window from the fields here). It refers to a part as the relative URL "part/<key>", so the
  // view serves the page from a folder-like URL of its own scheme and the parts resolve beside it.
  std::string html;
  std::map<std::string, RenderedPart> parts;
  std::vector<RenderedAttachment> attachments;
  bool shownRaw = false;  // the bytes could not be parsed as a message: the page shows them as text
};

// Owns every GMime object it makes; one renderer may render many messages, one at a time.
class MessageRenderer {
 public:
  MessageRenderer();
  ~MessageRenderer();
  MessageRenderer(const MessageRenderer&) = delete;
  MessageRenderer& operator=(const MessageRenderer&) = delete;

  RenderedMessage render(std::string_view messageBytes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vireo::content

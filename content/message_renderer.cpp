#include "content/message_renderer.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "content/attachment_name.h"
#include "content/gmime_ref.h"
#include "content/header_display.h"
#include "content/html_sanitizer.h"
#include "content/html_text.h"
#include "content/preview_page.h"
#include "content/text_decoding.h"
#include "platform/ascii_case.h"
#include "platform/hex_digit.h"

namespace vireo {

void gmime::initialise() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

namespace content {
namespace {

// A hostile message may nest parts without end or hold a million of them; past these limits the
// rest is not shown. Real mail stays far below both.
constexpr int kMaxDepth = 16;
constexpr int kMaxParts = 1000;

std::string lowerCase(std::string text) {
  for (char& c : text) c = asciiLower(c);
  return text;
}

// "type/subtype" in lower case, or an empty string when there is none. The view hands it on as a content type, so
// only token characters pass.
std::string mimeTypeOf(GMimeObject* object) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  if (type == nullptr) return {};
  const gmime::String name(g_mime_content_type_get_mime_type(type));
  if (name == nullptr) return {};
  std::string text = lowerCase(name.get());
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::string_view("!#$&^_.+-/").find(c) != std::string_view::npos;
  });
  return plain && text.size() <= 127 ? text : std::string("application/octet-stream");
}

std::string parameterOf(GMimeObject* object, const char* name) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  const char* value = type != nullptr ? g_mime_content_type_get_parameter(type, name) : nullptr;
  return value != nullptr ? std::string(value) : std::string();
}

bool isAttachmentDisposition(GMimeObject* object) {
  GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
  return disposition != nullptr && g_mime_content_disposition_is_attachment(disposition);
}

bool isShownImage(std::string_view mimeType) {
  return mimeType == "image/png" || mimeType == "image/jpeg" || mimeType == "image/gif" ||
         mimeType == "image/bmp" || mimeType == "image/webp" || mimeType == "image/pjpeg";
}

std::string streamBytes(GMimeStream* stream) {
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
  if (array == nullptr || array->len == 0) return {};
  return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

// A leaf part's content with its transfer encoding (base64, quoted-printable, uuencode) undone.
std::string decodedContent(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (content == nullptr) return {};
  const gmime::Ref<GMimeStream> sink(g_mime_stream_mem_new());
  if (g_mime_data_wrapper_write_to_stream(content, sink.get()) < 0) return {};
  return streamBytes(sink.get());
}

// A forwarded message's own text, to be saved as an .eml file.
std::string messageBytes(GMimeMessage* message) {
  const gmime::Ref<GMimeStream> sink(g_mime_stream_mem_new());
  if (g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, sink.get()) < 0) return {};
  return streamBytes(sink.get());
}

std::string withoutAngles(std::string_view id) {
  while (!id.empty() && (id.front() == '<' || id.front() == ' ')) id.remove_prefix(1);
  while (!id.empty() && (id.back() == '>' || id.back() == ' ')) id.remove_suffix(1);
  return std::string(id);
}

// "cid:" URLs are URL-encoded; Content-ID headers are not.
std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 && hexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

DisplayedHeaders displayedHeaders(GMimeMessage* message) {
  DisplayedHeaders shown;
  std::string DisplayedHeaders::*const fields[] = {&DisplayedHeaders::from,       &DisplayedHeaders::to,
                                                   &DisplayedHeaders::cc,         &DisplayedHeaders::newsgroups,
                                                   &DisplayedHeaders::followupTo, &DisplayedHeaders::subject,
                                                   &DisplayedHeaders::date};
  const std::string_view names[] = {"From", "To", "Cc", "Newsgroups", "Followup-To", "Subject", "Date"};
  // Raw 8-bit header text is most likely in the body's charset, as the summary fields assume.
  GMimeObject* body = g_mime_message_get_mime_part(message);
  const std::string fallback = body != nullptr ? parameterOf(body, "charset") : std::string();
  GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
  const int count = headers != nullptr ? g_mime_header_list_get_count(headers) : 0;
  bool found[std::size(names)] = {};
  for (int i = 0; i < count; ++i) {
    GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
    const char* name = g_mime_header_get_name(header);
    const char* raw = g_mime_header_get_raw_value(header);
    if (name == nullptr || raw == nullptr) continue;
    for (size_t f = 0; f < std::size(names); ++f) {
      if (found[f] || !equalsIgnoringAsciiCase(name, names[f])) continue;
      found[f] = true;
      shown.*fields[f] = displayHeaderValue(raw, fallback);
    }
  }
  return shown;
}

bool hasHeaders(GMimeMessage* message) {
  GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
  return headers != nullptr && g_mime_header_list_get_count(headers) > 0;
}

// Builds the page of one parsed message: walks its parts, turns the ones a reader sees into
// markup, and hands out keys for the pictures and attachments the page refers to.
class PageBuilder {
 public:
  explicit PageBuilder(RenderedMessage& result) : result_(result) {}

  std::string page(GMimeMessage* message) {
    indexResources(GMIME_OBJECT(message), 0);
    // The headers and the attachments travel beside the page, for the window to draw: the page
    // holds the body alone, so nothing the message's CSS paints can pass for them.
    result_.headers = displayedHeaders(message);
    body_ += "<div class=\"vireo-body\">";
    if (GMimeObject* part = g_mime_message_get_mime_part(message)) walk(part, 0);
    if (truncated_) body_ += "<p class=\"vireo-note\">Some parts of this message are not shown.</p>";
    body_ += "</div>\n";
    return previewPageHtml(result_.headers.subject, body_);
  }

 private:
  bool enter(int depth) {
    if (depth > kMaxDepth || ++partsSeen_ > kMaxParts) {
      truncated_ = true;
      return false;
    }
    return true;
  }

  void walk(GMimeObject* part, int depth) {
    if (!enter(depth)) return;
    if (GMIME_IS_MESSAGE_PART(part)) {
      messagePart(GMIME_MESSAGE_PART(part), depth);
    } else if (GMIME_IS_MULTIPART(part)) {
      const std::string type = mimeTypeOf(part);
      if (type == "multipart/alternative") alternative(GMIME_MULTIPART(part), depth);
      else if (type == "multipart/related") related(GMIME_MULTIPART(part), depth);
      else mixed(GMIME_MULTIPART(part), depth);
    } else if (GMIME_IS_PART(part)) {
      leaf(GMIME_PART(part));
    }
  }

  void mixed(GMimeMultipart* multipart, int depth) {
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count && !truncated_; ++i) walk(g_mime_multipart_get_part(multipart, i), depth + 1);
  }

  // How well the pane shows an alternative: HTML best, as mail programs choose.
  static int richness(GMimeObject* part) {
    const std::string type = mimeTypeOf(part);
    if (type == "text/html" || type == "multipart/related") return 3;
    if (type == "text/plain" || GMIME_IS_MULTIPART(part)) return 2;
    if (type.starts_with("text/")) return 1;
    return 0;
  }

  void alternative(GMimeMultipart* multipart, int depth) {
    GMimeObject* best = nullptr;
    int bestRichness = -1;
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) {  // on a tie the later one: alternatives come plainest first
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      const int value = richness(part);
      if (value >= bestRichness) {
        best = part;
        bestRichness = value;
      }
    }
    if (best != nullptr) walk(best, depth + 1);
  }

  void related(GMimeMultipart* multipart, int depth) {
    const int count = g_mime_multipart_get_count(multipart);
    if (count == 0) return;
    GMimeObject* root = g_mime_multipart_get_part(multipart, 0);
    const std::string start = withoutAngles(parameterOf(GMIME_OBJECT(multipart), "start"));
    for (int i = 0; i < count && !start.empty(); ++i) {
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      const char* id = g_mime_object_get_content_id(part);
      if (id != nullptr && withoutAngles(id) == start) root = part;
    }
    walk(root, depth + 1);
    // Resources the root never refers to would otherwise be lost from view.
    for (int i = 0; i < count && !truncated_; ++i) {
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      if (part == root || keys_.contains(part)) continue;
      if (GMIME_IS_PART(part)) {
        if (enter(depth + 1)) attachment(part, GMIME_PART(part));
      } else {
        walk(part, depth + 1);
      }
    }
  }

  void messagePart(GMimeMessagePart* part, int depth) {
    GMimeMessage* message = g_mime_message_part_get_message(part);
    if (message == nullptr) return;
    const DisplayedHeaders headers = displayedHeaders(message);
    body_ += "<div class=\"vireo-message\">";
    appendHeaderBlock(body_, headers);
    body_ += "<div class=\"vireo-body\">";
    if (GMimeObject* body = g_mime_message_get_mime_part(message)) walk(body, depth + 1);
    body_ += "</div></div>\n";
    GMimeObject* self = GMIME_OBJECT(part);
    if (isAttachmentDisposition(self) || !filenameOf(self).empty()) {
      std::string name = filenameOf(self);
      if (name.empty() && !headers.subject.empty()) name = headers.subject + ".eml";
      const std::string key = store(self, "message/rfc822", messageBytes(message));
      listAttachment(name, "message/rfc822", key);
    }
  }

  void leaf(GMimePart* part) {
    GMimeObject* object = GMIME_OBJECT(part);
    const std::string type = mimeTypeOf(object);
    const bool attached = isAttachmentDisposition(object);
    if (!attached && (type == "text/html" || type == "text/plain" || type.empty())) {
      text(part, type == "text/html");
    } else if (!attached && isShownImage(type) && !keys_.contains(object)) {
      const std::string key = attachment(object, part);
      body_ += "<img class=\"vireo-inline-image\" alt=\"\" src=\"part/" + escapeHtml(key) + "\">\n";
    } else {
      attachment(object, part);
    }
  }

  void text(GMimePart* part, bool html) {
    const std::string bytes = decodedContent(part);
    std::string charset = parameterOf(GMIME_OBJECT(part), "charset");
    if (!html) {
      body_ += "<div class=\"vireo-text\">";
      appendPlainTextHtml(body_, decodeTextToUtf8(bytes, charset));
      body_ += "</div>\n";
      return;
    }
    if (charset.empty()) charset = metaCharset(bytes);
    const ReferenceResolver resolve = [this](std::string_view reference) { return resolveReference(reference); };
    body_ += "<div class=\"vireo-html\">";
    body_ += embedMessageHtml(decodeTextToUtf8(bytes, charset), resolve);
    body_ += "</div>\n";
  }

  static std::string filenameOf(GMimeObject* object) {
    const char* name = GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
    if (name == nullptr) name = g_mime_object_get_content_disposition_parameter(object, "filename");
    if (name == nullptr) name = g_mime_object_get_content_type_parameter(object, "name");
    return name != nullptr ? validUtf8(name) : std::string();
  }

  // Lists a leaf part among the attachments and returns its key.
  std::string attachment(GMimeObject* object, GMimePart* part) {
    const std::string type = mimeTypeOf(object);
    const std::string key = keyFor(object, part);
    listAttachment(filenameOf(object), type, key);
    return key;
  }

  void listAttachment(const std::string& name, const std::string& mimeType, const std::string& key) {
    const RenderedPart& stored = result_.parts.at(key);
    result_.attachments.push_back({attachmentFileName(name, mimeType, key), stored.mimeType, stored.bytes.size(), key});
  }

  // A leaf part's key; its decoded bytes are stored the first time it is asked for.
  std::string keyFor(GMimeObject* object, GMimePart* part) {
    if (auto found = keys_.find(object); found != keys_.end()) return found->second;
    return store(object, mimeTypeOf(object), decodedContent(part));
  }

  std::string store(GMimeObject* object, const std::string& mimeType, std::string bytes) {
    const std::string key = std::to_string(result_.parts.size() + 1);
    result_.parts[key] = {mimeType.empty() ? "application/octet-stream" : mimeType, std::move(bytes)};
    keys_[object] = key;
    return key;
  }

  // Every leaf part by its Content-ID and Content-Location, so the HTML can refer to any of them.
  void indexResources(GMimeObject* object, int depth) {
    if (depth > kMaxDepth || ++indexed_ > kMaxParts) return;
    if (GMIME_IS_MULTIPART(object)) {
      GMimeMultipart* multipart = GMIME_MULTIPART(object);
      const int count = g_mime_multipart_get_count(multipart);
      for (int i = 0; i < count; ++i) indexResources(g_mime_multipart_get_part(multipart, i), depth + 1);
    } else if (GMIME_IS_MESSAGE(object)) {
      if (GMimeObject* body = g_mime_message_get_mime_part(GMIME_MESSAGE(object))) indexResources(body, depth + 1);
    } else if (GMIME_IS_MESSAGE_PART(object)) {
      if (GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
        indexResources(GMIME_OBJECT(message), depth + 1);
    } else if (GMIME_IS_PART(object)) {
      GMimePart* part = GMIME_PART(object);
      if (const char* id = g_mime_object_get_content_id(object)) byContentId_.try_emplace(withoutAngles(id), part);
      if (const char* location = g_mime_part_get_content_location(part)) byLocation_.try_emplace(location, part);
    }
  }

  std::string resolveReference(std::string_view reference) {
    GMimePart* part = nullptr;
    if (reference.size() > 4 && equalsIgnoringAsciiCase(reference.substr(0, 4), "cid:")) {
      const auto found = byContentId_.find(withoutAngles(percentDecoded(reference.substr(4))));
      if (found != byContentId_.end()) part = found->second;
    } else if (!byLocation_.empty() && !reference.empty()) {
      const auto found = byLocation_.find(std::string(reference));
      if (found != byLocation_.end()) part = found->second;
    }
    if (part == nullptr) return {};
    return "part/" + keyFor(GMIME_OBJECT(part), part);
  }

  RenderedMessage& result_;
  std::string body_;
  int partsSeen_ = 0;
  int indexed_ = 0;
  bool truncated_ = false;
  std::map<std::string, GMimePart*> byContentId_;
  std::map<std::string, GMimePart*> byLocation_;
  std::map<GMimeObject*, std::string> keys_;
};

RenderedMessage rawPage(std::string_view bytes) {
  RenderedMessage result;
  result.shownRaw = true;
  std::string body = "<div class=\"vireo-body\"><div class=\"vireo-raw\">";
  appendPlainTextHtml(body, decodeTextToUtf8(bytes, {}));
  body += "</div></div>\n";
  result.html = previewPageHtml({}, body);
  return result;
}

struct ParserOptionsFree {
  void operator()(GMimeParserOptions* options) const { g_mime_parser_options_free(options); }
};

}  // namespace

struct MessageRenderer::State {
  std::unique_ptr<GMimeParserOptions, ParserOptionsFree> options;
};

MessageRenderer::MessageRenderer() : state_(std::make_unique<State>()) {
  gmime::initialise();
  state_->options.reset(g_mime_parser_options_new());
}

MessageRenderer::~MessageRenderer() = default;

RenderedMessage MessageRenderer::render(std::string_view messageBytes) {
  if (messageBytes.empty()) return rawPage(messageBytes);
  const gmime::Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(messageBytes.data(), messageBytes.size()));
  const gmime::Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  const gmime::Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), state_->options.get()));
  if (message == nullptr || !hasHeaders(message.get())) return rawPage(messageBytes);
  RenderedMessage result;
  result.html = PageBuilder(result).page(message.get());
  return result;
}

}  // namespace content
}  // namespace vireo

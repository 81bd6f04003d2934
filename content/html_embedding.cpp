#include "content/html_embedding.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/ascii_case.h"

namespace vireo {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool startsWithIgnoringCase(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - std::min(at, text.size()) >= prefix.size() &&
         equalsIgnoringAsciiCase(text.substr(at, prefix.size()), prefix);
}

size_t findIgnoringCase(std::string_view text, std::string_view needle, size_t from) {
  while (from < text.size()) {
    const size_t lt = text.find(needle[0], from);
    if (lt == std::string_view::npos) return lt;
    if (startsWithIgnoringCase(text, lt, needle)) return lt;
    from = lt + 1;
  }
  return std::string_view::npos;
}

template <size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The document wrapper, and what the page must decide itself (charset, base URL, refresh).
constexpr std::array<std::string_view, 7> kDroppedTags = {"html", "head", "body", "meta", "base", "plaintext", "frameset"};
// Dropped with everything inside them.
constexpr std::array<std::string_view, 2> kDroppedElements = {"script", "title"};
// Plugins: nothing the view should load, and their fallback content still shows.
constexpr std::array<std::string_view, 3> kPluginTags = {"object", "embed", "applet"};
// Their content is raw text up to their end tag; left open, they would eat the rest of the page.
constexpr std::array<std::string_view, 6> kRawTextElements = {"style", "textarea", "xmp", "iframe", "noembed", "noframes"};
constexpr std::array<std::string_view, 15> kVoidElements = {"area", "br", "col", "embed", "hr", "img", "input", "link",
                                                            "meta", "source", "track", "wbr", "param", "keygen", "base"};
// End tags that may be left out, closed by their parents anyway; a stray one makes a <p>.
constexpr std::array<std::string_view, 16> kOptionalEnd = {"p", "li", "dt", "dd", "option", "optgroup", "tr", "td",
                                                           "th", "thead", "tbody", "tfoot", "colgroup", "caption",
                                                           "rt", "rp"};
constexpr std::array<std::string_view, 5> kUrlAttributes = {"src", "href", "background", "poster", "data"};

// Deep enough for any real message; a hostile nesting costs no more than this per end tag.
constexpr size_t kMaxOpenElements = 128;

struct Attribute {
  std::string name;  // ASCII lower case
  std::string_view value;
};

struct Tag {
  bool closing = false;
  bool selfClosing = false;
  std::string name;  // ASCII lower case
  std::vector<Attribute> attributes;
  size_t end = std::string_view::npos;  // just past '>'; npos when the text ends inside the tag
};

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

// Reads a tag as a browser tokenizes it, from the '<' at `at`.
Tag readTag(std::string_view html, size_t at) {
  Tag tag;
  size_t i = at + 1;
  if (i < html.size() && html[i] == '/') {
    tag.closing = true;
    ++i;
  }
  const size_t nameStart = i;
  while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>') ++i;
  tag.name = lowerCase(html.substr(nameStart, i - nameStart));
  for (;;) {
    while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) {
      tag.selfClosing = html[i] == '/';
      ++i;
    }
    if (i >= html.size()) return tag;
    if (html[i] == '>') {
      tag.end = i + 1;
      return tag;
    }
    tag.selfClosing = false;
    const size_t attributeStart = i;
    ++i;  // a first '=' belongs to the name
    while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>' && html[i] != '=') ++i;
    Attribute attribute{lowerCase(html.substr(attributeStart, i - attributeStart)), {}};
    size_t j = i;
    while (j < html.size() && isSpace(html[j])) ++j;
    if (j < html.size() && html[j] == '=') {
      ++j;
      while (j < html.size() && isSpace(html[j])) ++j;
      if (j >= html.size()) return tag;
      if (html[j] == '"' || html[j] == '\'') {
        const size_t close = html.find(html[j], j + 1);
        if (close == std::string_view::npos) return tag;
        attribute.value = html.substr(j + 1, close - j - 1);
        i = close + 1;
      } else {
        const size_t valueStart = j;
        while (j < html.size() && !isSpace(html[j]) && html[j] != '>') ++j;
        attribute.value = html.substr(valueStart, j - valueStart);
        i = j;
      }
    }
    tag.attributes.push_back(std::move(attribute));
  }
}

// Where the end tag of a raw text element begins, as a browser ends it: "</name" followed by a
// space, '/' or '>'. npos when there is none.
size_t findEndTag(std::string_view html, std::string_view name, size_t from) {
  const std::string needle = "</" + std::string(name);
  for (size_t at = findIgnoringCase(html, needle, from); at != std::string_view::npos;
       at = findIgnoringCase(html, needle, at + 1)) {
    const size_t after = at + needle.size();
    if (after == html.size() || isSpace(html[after]) || html[after] == '/' || html[after] == '>') return at;
  }
  return std::string_view::npos;
}

bool isPlainName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.';
  });
}

// "javascript:" hides behind spaces, control characters and case; browsers ignore those.
bool isScriptUrl(std::string_view value) {
  std::string squeezed;
  for (char c : value) {
    if (static_cast<unsigned char>(c) > ' ') squeezed += asciiLower(c);
    if (squeezed.size() >= 11) break;
  }
  return squeezed.starts_with("javascript:") || squeezed.starts_with("vbscript:");
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

void appendAttributeValue(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '"') out += "&quot;";
    else out += c;
  }
}

// Rewrites each url(...) in CSS text whose reference resolve knows.
void appendCss(std::string& out, std::string_view css, const ReferenceResolver& resolve) {
  size_t from = 0;
  for (size_t at = findIgnoringCase(css, "url(", 0); at != std::string_view::npos;
       at = findIgnoringCase(css, "url(", from)) {
    size_t start = at + 4;
    while (start < css.size() && isSpace(css[start])) ++start;
    char quote = 0;
    if (start < css.size() && (css[start] == '"' || css[start] == '\'')) quote = css[start++];
    size_t stop = start;
    while (stop < css.size() && css[stop] != (quote != 0 ? quote : ')') && (quote != 0 || !isSpace(css[stop])))
      ++stop;
    out.append(css, from, start - from);
    const std::string replacement = resolve(css.substr(start, stop - start));
    if (replacement.empty()) out.append(css, start, stop - start);
    else out += replacement;
    from = stop;
  }
  out.append(css, from, css.size() - from);
}

class Embedder {
 public:
  Embedder(std::string_view html, const ReferenceResolver& resolve) : html_(html), resolve_(resolve) {
    out_.reserve(html.size() + 256);
  }

  std::string run() {
    size_t i = 0;
    while (i < html_.size()) {
      const size_t lt = html_.find('<', i);
      if (lt == std::string_view::npos) {
        out_.append(html_, i, html_.size() - i);
        break;
      }
      out_.append(html_, i, lt - i);
      i = markup(lt);
    }
    for (auto open = open_.rbegin(); open != open_.rend(); ++open) out_ += "</" + *open + ">";
    return std::move(out_);
  }

 private:
  // Handles the markup starting at '<' and returns where the text goes on.
  size_t markup(size_t lt) {
    if (startsWithIgnoringCase(html_, lt, "<!--")) {
      const size_t end = html_.find("-->", lt + 2);  // "<!-->" is a whole (empty) comment
      return end == std::string_view::npos ? html_.size() : end + 3;
    }
    const char next = lt + 1 < html_.size() ? html_[lt + 1] : '\0';
    if (next == '!' || next == '?') {  // doctype, CDATA, processing instruction
      const size_t end = html_.find('>', lt);
      return end == std::string_view::npos ? html_.size() : end + 1;
    }
    if (!isLetter(next) && !(next == '/' && lt + 2 < html_.size() && isLetter(html_[lt + 2]))) {
      out_ += "&lt;";
      return lt + 1;
    }
    const Tag tag = readTag(html_, lt);
    if (tag.end == std::string_view::npos) return html_.size();  // a browser drops a tag cut off by the end
    if (!isPlainName(tag.name) || isOneOf(tag.name, kDroppedTags) || isOneOf(tag.name, kPluginTags)) return tag.end;
    if (tag.closing) {
      if (!isOneOf(tag.name, kDroppedElements)) closeElement(tag.name);
      return tag.end;
    }
    if (isOneOf(tag.name, kDroppedElements)) {
      const size_t end = findEndTag(html_, tag.name, tag.end);
      if (end == std::string_view::npos) return html_.size();
      const size_t close = html_.find('>', end);
      return close == std::string_view::npos ? html_.size() : close + 1;
    }
    appendStartTag(tag);
    if (isOneOf(tag.name, kRawTextElements)) return rawText(tag);
    if (!tag.selfClosing && !isOneOf(tag.name, kVoidElements) && !isOneOf(tag.name, kOptionalEnd) &&
        open_.size() < kMaxOpenElements)
      open_.push_back(tag.name);
    return tag.end;
  }

  void appendStartTag(const Tag& tag) {
    out_ += '<';
    out_ += tag.name;
    for (const Attribute& attribute : tag.attributes) {
      if (!isPlainName(attribute.name) || attribute.name.starts_with("on") || attribute.name == "srcdoc" ||
          isScriptUrl(attribute.value))
        continue;
      out_ += ' ';
      out_ += attribute.name;
      out_ += "=\"";
      if (attribute.name == "style") {
        std::string css;
        appendCss(css, attribute.value, resolve_);
        appendAttributeValue(out_, css);
      } else if (isOneOf(attribute.name, kUrlAttributes)) {
        const std::string replacement = resolve_(trimmed(attribute.value));
        appendAttributeValue(out_, replacement.empty() ? attribute.value : std::string_view(replacement));
      } else {
        appendAttributeValue(out_, attribute.value);
      }
      out_ += '"';
    }
    out_ += tag.selfClosing ? " />" : ">";
  }

  // Copies a raw text element's content and its end tag; closes it when the message does not.
  size_t rawText(const Tag& tag) {
    const size_t end = findEndTag(html_, tag.name, tag.end);
    // With no end tag, end - tag.end overshoots and substr takes the rest.
    const std::string_view content = html_.substr(tag.end, end - tag.end);
    if (tag.name == "style") appendCss(out_, content, resolve_);
    else out_.append(content);
    out_ += "</" + tag.name + ">";
    if (end == std::string_view::npos) return html_.size();
    const size_t close = html_.find('>', end);
    return close == std::string_view::npos ? html_.size() : close + 1;
  }

  void closeElement(const std::string& name) {
    out_ += "</" + name + ">";
    const auto open = std::find(open_.rbegin(), open_.rend(), name);
    if (open != open_.rend()) open_.erase(std::next(open).base(), open_.end());
  }

  std::string_view html_;
  const ReferenceResolver& resolve_;
  std::string out_;
  std::vector<std::string> open_;  // elements the message opened and has not closed yet
};

}  // namespace

std::string embedMessageHtml(std::string_view html, const ReferenceResolver& resolve) {
  return Embedder(html, resolve).run();
}

std::string metaCharset(std::string_view html) {
  const std::string_view head = html.substr(0, 4096);
  for (size_t meta = findIgnoringCase(head, "<meta", 0); meta != std::string_view::npos;
       meta = findIgnoringCase(head, "<meta", meta + 5)) {
    const size_t end = head.find('>', meta);
    const std::string_view tag = head.substr(meta, end - meta);
    size_t at = findIgnoringCase(tag, "charset", 0);
    if (at == std::string_view::npos) continue;
    at += 7;
    while (at < tag.size() && (isSpace(tag[at]) || tag[at] == '=' || tag[at] == '"' || tag[at] == '\'')) ++at;
    size_t stop = at;
    while (stop < tag.size() && (isLetter(tag[stop]) || (tag[stop] >= '0' && tag[stop] <= '9') ||
                                 tag[stop] == '-' || tag[stop] == '_' || tag[stop] == '.' || tag[stop] == ':'))
      ++stop;
    if (stop > at) return std::string(tag.substr(at, stop - at));
  }
  return {};
}

}  // namespace vireo

#pragma once
// A message's own HTML made fit to sit inside the preview page. The view runs no script and
// fetches nothing remote; this is the second line of defence, cheap and not a full sanitizer:
// script elements, event handler attributes and script URLs go, the document wrapper (html,
// head, body, meta, base, title) goes so the page's own structure and charset stand, and
// elements the message leaves open are closed so they cannot swallow what follows.
#include <functional>
#include <string>
#include <string_view>

namespace vireo {

// The URL to use instead of a reference found in the HTML (a "cid:" URL, or a part's
// Content-Location), or an empty string to leave the reference as it is.
using ReferenceResolver = std::function<std::string(std::string_view reference)>;

// html is UTF-8. References in src, href, background, poster and data attributes and in CSS
// url(...) (style elements and attributes) are offered to resolve.
std::string embedMessageHtml(std::string_view html, const ReferenceResolver& resolve);

// The charset a <meta> near the start of html declares, or an empty string.
std::string metaCharset(std::string_view html);

}  // namespace vireo

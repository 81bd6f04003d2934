#pragma once
// The URLs a message's HTML may keep. The pane fetches nothing but its own parts, so a URL is
// kept only when a link can leave for the desktop (http, https, mailto), when it names a part of
// the message (cid: and Content-Location references, rewritten to the part), when it is a picture
// carried inline (data:image/...) or a place in the page (#name). Everything else, javascript:
// first, goes.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vireo {

// The URL to use instead of a reference found in the HTML (a "cid:" URL, or a part's
// Content-Location), or an empty string when it names no part.
using ReferenceResolver = std::function<std::string(std::string_view reference)>;

// value as an attribute holds it (character references already decoded): the URL to write, or
// nothing when the attribute should go.
std::optional<std::string> allowedUrl(std::string_view value, const ReferenceResolver& resolve);

// An img or source srcset ("a.png 1x, b.png 2x"): the candidates whose URL is allowed, or
// nothing when none is.
std::optional<std::string> allowedSrcset(std::string_view value, const ReferenceResolver& resolve);

// CSS text (a style element or attribute) with each url(...) whose reference resolve knows
// rewritten; the rest as it was (the pane's Content-Security-Policy fetches none of it).
std::string resolvedCss(std::string_view css, const ReferenceResolver& resolve);

}  // namespace vireo

#pragma once
// What must never reach the preview pane, looked for where a browser would find it: in the tree
// an HTML5 parser builds from a page, not in its text. Shared by the tests and the render fuzz
// target.
#include <string>
#include <string_view>
#include <vector>

namespace vireo::testing {

// One line per hazard found: an element that runs, loads or redirects something (script, base,
// meta, frames, plugins, SVG animation, foreignObject, a textarea or other raw-text element that
// swallows what follows, a link other than a stylesheet), an on... attribute, a target, srcdoc,
// form action, or a URL that runs script. With pageHead set, html is a whole preview page and its
// head's first two children are its own charset and Content-Security-Policy metas, allowed.
std::vector<std::string> htmlHazards(std::string_view html, bool pageHead = false);

// "javascript:", "vbscript:" or a data: URL other than a picture, however spaced, cased or mixed
// with control characters (what a browser ignores).
bool isScriptUrl(std::string_view url);

}  // namespace vireo::testing

#pragma once
// A message's own HTML made fit to sit inside the preview page. It is parsed as a browser parses
// it (gumbo), and only what an allow-list names is written back out: elements and attributes of
// HTML, SVG and MathML that show something, URLs the pane may use (html_urls.h), the message's
// CSS. Scripts, event handlers, plugins, frames, base and meta, targets and form actions go; so
// does the document wrapper, so the page's own structure, charset and policy stand.
//
// The output is written so that a browser parsing it again builds the same tree: every element
// is closed, text is escaped, the one raw-text element kept (style) cannot end early, and a
// foreign (SVG, MathML) element is only written where it parses back into its own namespace.
#include <chrono>
#include <string>
#include <string_view>

#include "content/html_tree.h"
#include "content/html_urls.h"

namespace vireo {

// html is UTF-8. References in URL attributes and in CSS url(...) are offered to resolve. HTML
// that takes longer than budget to parse is shown as its source text, with a note.
std::string embedMessageHtml(std::string_view html, const ReferenceResolver& resolve,
                             std::chrono::steady_clock::duration budget = kHtmlParseBudget);

// The charset a <meta> near the start of html declares, or an empty string.
std::string metaCharset(std::string_view html);

}  // namespace vireo

#include "content/html_sanitizer.h"

#include <array>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "content/html_text.h"
#include "content/html_tree.h"
#include "platform/ascii_case.h"

namespace vireo {
namespace {

// Past this many levels of the message's own elements, deeper ones are left out and their text
// joins the deepest one kept. Browsers stop nesting at 512 levels themselves, and the page adds
// a few of its own around the message.
constexpr size_t kMaxDepth = 256;

// What the nearest element written so far accepts inside it.
enum class Inside {
  html,     // an HTML element or a MathML text integration point: HTML, <svg> and <math>
  svg,      // SVG elements
  svgText,  // SVG desc and title: text only (an element there would parse back as HTML)
  mathml,   // MathML elements
  css,      // an HTML style element: its text, written raw
};

enum class Verdict {
  keep,    // the element and what it holds
  unwrap,  // only what it holds (its text, and the elements allowed where it stands)
  drop,    // nothing of it
};

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

// HTML elements by gumbo's tag; a tag not listed is unwrapped.
const std::array<Verdict, GUMBO_TAG_LAST + 1>& htmlVerdicts() {
  static const std::array<Verdict, GUMBO_TAG_LAST + 1> verdicts = [] {
    std::array<Verdict, GUMBO_TAG_LAST + 1> table;
    table.fill(Verdict::unwrap);
    for (GumboTag tag :
         {GUMBO_TAG_A,        GUMBO_TAG_ABBR,     GUMBO_TAG_ACRONYM,    GUMBO_TAG_ADDRESS,  GUMBO_TAG_AREA,
          GUMBO_TAG_ARTICLE,  GUMBO_TAG_ASIDE,    GUMBO_TAG_AUDIO,      GUMBO_TAG_B,        GUMBO_TAG_BDI,
          GUMBO_TAG_BDO,      GUMBO_TAG_BIG,      GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_BR,       GUMBO_TAG_BUTTON,
          GUMBO_TAG_CAPTION,  GUMBO_TAG_CENTER,   GUMBO_TAG_CITE,       GUMBO_TAG_CODE,     GUMBO_TAG_COL,
          GUMBO_TAG_COLGROUP, GUMBO_TAG_DATA,     GUMBO_TAG_DD,         GUMBO_TAG_DEL,      GUMBO_TAG_DETAILS,
          GUMBO_TAG_DFN,      GUMBO_TAG_DIR,      GUMBO_TAG_DIV,        GUMBO_TAG_DL,       GUMBO_TAG_DT,
          GUMBO_TAG_EM,       GUMBO_TAG_FIELDSET, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,   GUMBO_TAG_FONT,
          GUMBO_TAG_FOOTER,   GUMBO_TAG_FORM,     GUMBO_TAG_H1,         GUMBO_TAG_H2,       GUMBO_TAG_H3,
          GUMBO_TAG_H4,       GUMBO_TAG_H5,       GUMBO_TAG_H6,         GUMBO_TAG_HEADER,   GUMBO_TAG_HGROUP,
          GUMBO_TAG_HR,       GUMBO_TAG_I,        GUMBO_TAG_IMG,        GUMBO_TAG_INPUT,    GUMBO_TAG_INS,
          GUMBO_TAG_KBD,      GUMBO_TAG_LABEL,    GUMBO_TAG_LEGEND,     GUMBO_TAG_LI,       GUMBO_TAG_MAIN,
          GUMBO_TAG_MAP,      GUMBO_TAG_MARK,     GUMBO_TAG_MENU,       GUMBO_TAG_METER,    GUMBO_TAG_NAV,
          GUMBO_TAG_NOBR,     GUMBO_TAG_OL,       GUMBO_TAG_OPTGROUP,   GUMBO_TAG_OPTION,   GUMBO_TAG_OUTPUT,
          GUMBO_TAG_P,        GUMBO_TAG_PRE,      GUMBO_TAG_PROGRESS,   GUMBO_TAG_Q,        GUMBO_TAG_RB,
          GUMBO_TAG_RP,       GUMBO_TAG_RT,       GUMBO_TAG_RTC,        GUMBO_TAG_RUBY,     GUMBO_TAG_S,
          GUMBO_TAG_SAMP,     GUMBO_TAG_SECTION,  GUMBO_TAG_SELECT,     GUMBO_TAG_SMALL,    GUMBO_TAG_SOURCE,
          GUMBO_TAG_SPAN,     GUMBO_TAG_STRIKE,   GUMBO_TAG_STRONG,     GUMBO_TAG_STYLE,    GUMBO_TAG_SUB,
          GUMBO_TAG_SUMMARY,  GUMBO_TAG_SUP,      GUMBO_TAG_TABLE,      GUMBO_TAG_TBODY,    GUMBO_TAG_TD,
          GUMBO_TAG_TFOOT,    GUMBO_TAG_TH,       GUMBO_TAG_THEAD,      GUMBO_TAG_TIME,     GUMBO_TAG_TR,
          GUMBO_TAG_TRACK,    GUMBO_TAG_TT,       GUMBO_TAG_U,          GUMBO_TAG_UL,       GUMBO_TAG_VAR,
          GUMBO_TAG_VIDEO,    GUMBO_TAG_WBR,      GUMBO_TAG_LINK})
      table[tag] = Verdict::keep;
    // Scripts, what the page itself decides (title, base, meta), frames and plugins, and elements
    // whose content is markup for a reader that is not this one.
    for (GumboTag tag :
         {GUMBO_TAG_SCRIPT, GUMBO_TAG_TITLE, GUMBO_TAG_BASE, GUMBO_TAG_META, GUMBO_TAG_NOSCRIPT,
          GUMBO_TAG_TEMPLATE, GUMBO_TAG_IFRAME, GUMBO_TAG_FRAME, GUMBO_TAG_FRAMESET, GUMBO_TAG_NOFRAMES,
          GUMBO_TAG_OBJECT, GUMBO_TAG_EMBED, GUMBO_TAG_APPLET, GUMBO_TAG_PARAM, GUMBO_TAG_NOEMBED,
          GUMBO_TAG_BGSOUND, GUMBO_TAG_KEYGEN, GUMBO_TAG_ISINDEX, GUMBO_TAG_NEXTID, GUMBO_TAG_DATALIST,
          GUMBO_TAG_MENUITEM})
      table[tag] = Verdict::drop;
    return table;
  }();
  return verdicts;
}

bool isVoid(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_AREA: case GUMBO_TAG_BR: case GUMBO_TAG_COL: case GUMBO_TAG_HR: case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT: case GUMBO_TAG_LINK: case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK: case GUMBO_TAG_WBR:
      return true;
    default:
      return false;
  }
}

using NameSet = std::unordered_set<std::string_view>;

// Attributes that only describe how things look or what they are. No on..., target, srcdoc,
// action or formaction, ping, download, http-equiv.
const NameSet kHtmlAttributes = {
    "abbr", "align", "alt", "axis", "bgcolor", "border", "cellpadding", "cellspacing", "char", "charoff",
    "checked", "class", "clear", "color", "cols", "colspan", "compact", "controls", "coords", "datetime",
    "dir", "disabled", "face", "frame", "headers", "height", "high", "hreflang", "hspace", "id", "label",
    "lang", "loop", "low", "max", "maxlength", "media", "min", "multiple", "muted", "name", "noshade",
    "nowrap", "open", "optimum", "placeholder", "readonly", "rel", "rev", "reversed", "role", "rows",
    "rowspan", "rules", "scope", "selected", "shape", "size", "sizes", "span", "start", "summary",
    "title", "translate", "type", "valign", "value", "vspace", "width"};
const NameSet kHtmlUrlAttributes = {"href", "src", "background", "poster", "cite", "longdesc", "usemap"};

// Shapes, paint, text and filters; no animation (animate, set: they set attributes), no
// foreignObject (HTML inside), no script.
constexpr std::string_view kSvgElements[] = {
    "svg", "g", "defs", "desc", "title", "symbol", "use", "image", "switch", "path", "rect", "circle",
    "ellipse", "line", "polyline", "polygon", "text", "tspan", "textPath", "a", "clipPath", "mask",
    "pattern", "marker", "linearGradient", "radialGradient", "stop", "filter", "style", "feBlend",
    "feColorMatrix", "feComponentTransfer", "feComposite", "feConvolveMatrix", "feDiffuseLighting",
    "feDisplacementMap", "feDistantLight", "feDropShadow", "feFlood", "feFuncA", "feFuncB", "feFuncG",
    "feFuncR", "feGaussianBlur", "feMerge", "feMergeNode", "feMorphology", "feOffset", "fePointLight",
    "feSpecularLighting", "feSpotLight", "feTile", "feTurbulence"};
constexpr std::string_view kSvgAttributes[] = {
    "id", "class", "style", "lang", "transform", "d", "x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r",
    "rx", "ry", "fx", "fy", "width", "height", "viewBox", "preserveAspectRatio", "points", "pathLength",
    "fill", "fill-opacity", "fill-rule", "stroke", "stroke-width", "stroke-linecap", "stroke-linejoin",
    "stroke-dasharray", "stroke-dashoffset", "stroke-opacity", "stroke-miterlimit", "opacity", "color",
    "display", "visibility", "overflow", "font-family", "font-size", "font-weight", "font-style",
    "font-variant", "text-anchor", "text-decoration", "dominant-baseline", "alignment-baseline",
    "baseline-shift", "letter-spacing", "word-spacing", "writing-mode", "dx", "dy", "rotate",
    "textLength", "lengthAdjust", "startOffset", "method", "spacing", "side", "offset", "stop-color",
    "stop-opacity", "gradientUnits", "gradientTransform", "spreadMethod", "patternUnits",
    "patternContentUnits", "patternTransform", "clip-path", "clip-rule", "clipPathUnits", "mask",
    "maskUnits", "maskContentUnits", "marker-start", "marker-mid", "marker-end", "markerWidth",
    "markerHeight", "markerUnits", "refX", "refY", "orient", "filter", "filterUnits", "primitiveUnits",
    "in", "in2", "result", "stdDeviation", "mode", "operator", "k1", "k2", "k3", "k4", "values", "type",
    "tableValues", "slope", "intercept", "amplitude", "exponent", "flood-color", "flood-opacity",
    "lighting-color", "baseFrequency", "numOctaves", "seed", "stitchTiles", "scale", "xChannelSelector",
    "yChannelSelector", "radius", "order", "kernelMatrix", "divisor", "bias", "targetX", "targetY",
    "edgeMode", "preserveAlpha", "surfaceScale", "diffuseConstant", "specularConstant",
    "specularExponent", "azimuth", "elevation", "z", "pointsAtX", "pointsAtY", "pointsAtZ",
    "limitingConeAngle", "vector-effect", "paint-order", "shape-rendering", "text-rendering",
    "image-rendering", "color-interpolation", "color-interpolation-filters", "transform-origin",
    "role", "version", "requiredExtensions", "systemLanguage"};

constexpr std::string_view kMathmlElements[] = {
    "math", "menclose", "merror", "mfenced", "mfrac", "mi", "mmultiscripts", "mn", "mo", "mover",
    "mpadded", "mphantom", "mprescripts", "mroot", "mrow", "ms", "mspace", "msqrt", "mstyle", "msub",
    "msubsup", "msup", "mtable", "mtd", "mtext", "mtr", "munder", "munderover", "none", "semantics",
    "annotation"};
const NameSet kMathmlAttributes = {
    "accent", "accentunder", "align", "bevelled", "class", "close", "columnalign", "columnlines",
    "columnspacing", "columnspan", "denomalign", "depth", "dir", "display", "displaystyle", "encoding",
    "fence", "form", "frame", "framespacing", "height", "id", "largeop", "linethickness", "lspace",
    "mathbackground", "mathcolor", "mathsize", "mathvariant", "maxsize", "minsize", "movablelimits",
    "notation", "numalign", "open", "rowalign", "rowlines", "rowspacing", "rowspan", "rspace",
    "scriptlevel", "separator", "separators", "stretchy", "style", "subscriptshift", "superscriptshift",
    "symmetric", "voffset", "width"};

// Lower-case name -> the name as SVG spells it.
using CanonicalNames = std::unordered_map<std::string, std::string_view>;

template <size_t N>
CanonicalNames canonicalNames(const std::string_view (&names)[N]) {
  CanonicalNames map;
  for (std::string_view name : names) map.emplace(lowerCase(name), name);
  return map;
}

const CanonicalNames& svgElements() {
  static const CanonicalNames names = canonicalNames(kSvgElements);
  return names;
}
const CanonicalNames& svgAttributes() {
  static const CanonicalNames names = canonicalNames(kSvgAttributes);
  return names;
}
const CanonicalNames& mathmlElements() {
  static const CanonicalNames names = canonicalNames(kMathmlElements);
  return names;
}

std::string_view lookUp(const CanonicalNames& names, const std::string& lowerName) {
  const auto found = names.find(lowerName);
  return found != names.end() ? found->second : std::string_view();
}

const GumboAttribute* attributeOf(const GumboElement& element, const char* name) {
  return gumbo_get_attribute(&element.attributes, name);
}

bool isMathmlTextIntegrationPoint(std::string_view name) {
  return name == "mi" || name == "mo" || name == "mn" || name == "ms" || name == "mtext";
}

// The raw text of a style element, written so that nothing in it can end the element or, were
// the element ever not taken as one, start another: each '<' becomes the CSS escape "\3c ".
// The "<!--" old mail wraps its CSS in is a token CSS ignores; it goes.
void appendStyleText(std::string& out, std::string_view css) {
  for (size_t i = 0; i < css.size(); ++i) {
    if (css[i] != '<') {
      if (css[i] != '\0') out += css[i];
    } else if (css.substr(i, 4) == "<!--") {
      i += 3;
    } else {
      out += "\\3c ";
    }
  }
}

class Sanitizer {
 public:
  explicit Sanitizer(const ReferenceResolver& resolve) : resolve_(resolve) {}

  std::string run(const GumboNode& document, size_t sizeHint) {
    out_.reserve(sizeHint + 64);
    struct Frame {
      const GumboVector* children;
      unsigned next;
      std::string_view endTag;  // empty when the element was not written
      Inside inside;
      size_t depth;  // elements written around its content
    };
    std::vector<Frame> open = {{&document.v.document.children, 0, {}, Inside::html, 0}};
    while (!open.empty()) {
      Frame& frame = open.back();
      if (frame.next >= frame.children->length) {
        if (!frame.endTag.empty()) {
          out_ += "</";
          out_ += frame.endTag;
          out_ += '>';
        }
        open.pop_back();
        continue;
      }
      const GumboNode& node = *static_cast<const GumboNode*>(frame.children->data[frame.next++]);
      const Inside inside = frame.inside;
      const size_t depth = frame.depth;
      if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE || node.type == GUMBO_NODE_CDATA) {
        if (inside == Inside::css) appendStyleText(out_, resolvedCss(node.v.text.text, resolve_));
        else appendEscapedHtml(out_, node.v.text.text);
        continue;
      }
      if (node.type != GUMBO_NODE_ELEMENT) continue;  // comments, templates
      const GumboElement& element = node.v.element;
      std::string_view name;
      Inside within = inside;
      const Verdict verdict = judge(element, inside, depth, name, within);
      if (verdict == Verdict::drop) continue;
      if (verdict == Verdict::unwrap) {
        open.push_back({&element.children, 0, {}, inside, depth});
        continue;
      }
      writeStartTag(element, name);
      if (element.tag_namespace == GUMBO_NAMESPACE_HTML && isVoid(element.tag)) continue;
      if (element.tag == GUMBO_TAG_PRE && element.children.length > 0) {
        // A parser drops one line break right after <pre>; a text that starts with one keeps it.
        const auto* first = static_cast<const GumboNode*>(element.children.data[0]);
        if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n')
          out_ += '\n';
      }
      open.push_back({&element.children, 0, name, within, depth + 1});
    }
    return std::move(out_);
  }

 private:
  // Decides what becomes of an element where it stands; for one kept, sets its name as written
  // and what it accepts inside.
  Verdict judge(const GumboElement& element, Inside inside, size_t depth, std::string_view& name, Inside& within) {
    switch (element.tag_namespace) {
      case GUMBO_NAMESPACE_HTML: {
        if (inside != Inside::html) return Verdict::drop;
        Verdict verdict = htmlVerdicts()[element.tag];
        if (element.tag == GUMBO_TAG_LINK && !isStylesheetLink(element)) verdict = Verdict::drop;
        if (verdict == Verdict::keep && depth >= kMaxDepth)
          verdict = element.tag == GUMBO_TAG_STYLE ? Verdict::drop : Verdict::unwrap;
        name = gumbo_normalized_tagname(element.tag);
        within = element.tag == GUMBO_TAG_STYLE ? Inside::css : Inside::html;
        return verdict;
      }
      case GUMBO_NAMESPACE_SVG: {
        name = lookUp(svgElements(), elementName(element));
        // <svg> starts SVG only among HTML; anywhere else an SVG name would parse back as
        // another namespace's element.
        const bool placed = inside == Inside::svg || (inside == Inside::html && name == "svg");
        if (name.empty() || !placed || depth >= kMaxDepth) return Verdict::drop;
        within = name == "desc" || name == "title" ? Inside::svgText : Inside::svg;
        return Verdict::keep;
      }
      case GUMBO_NAMESPACE_MATHML: {
        name = lookUp(mathmlElements(), elementName(element));
        const bool placed = inside == Inside::mathml || (inside == Inside::html && name == "math");
        if (name.empty() || !placed || depth >= kMaxDepth) return Verdict::drop;
        within = isMathmlTextIntegrationPoint(name) ? Inside::html : Inside::mathml;
        return Verdict::keep;
      }
    }
    return Verdict::drop;
  }

  // Exactly rel=stylesheet with a URL the pane may use; preconnect, prefetch, icons and the like
  // go.
  bool isStylesheetLink(const GumboElement& element) const {
    const GumboAttribute* rel = attributeOf(element, "rel");
    const GumboAttribute* href = attributeOf(element, "href");
    if (rel == nullptr || href == nullptr || !allowedUrl(href->value, resolve_)) return false;
    std::string_view value = rel->value;
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= ' ') value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.remove_suffix(1);
    return equalsIgnoringAsciiCase(value, "stylesheet");
  }

  void writeStartTag(const GumboElement& element, std::string_view name) {
    out_ += '<';
    out_ += name;
    for (unsigned i = 0; i < element.attributes.length; ++i) {
      const auto& attribute = *static_cast<const GumboAttribute*>(element.attributes.data[i]);
      writeAttribute(element.tag_namespace, attribute);
    }
    out_ += '>';
  }

  void writeAttribute(GumboNamespaceEnum space, const GumboAttribute& attribute) {
    const std::string lower = lowerCase(attribute.name);
    std::string_view name;
    bool url = false;
    switch (attribute.attr_namespace) {
      case GUMBO_ATTR_NAMESPACE_XLINK:
        if (lower == "href") name = "xlink:href", url = true;
        break;
      case GUMBO_ATTR_NAMESPACE_XML:
        if (lower == "lang") name = "xml:lang";
        else if (lower == "space") name = "xml:space";
        break;
      case GUMBO_ATTR_NAMESPACE_XMLNS:
        break;
      case GUMBO_ATTR_NAMESPACE_NONE:
        if (lower == "style" || lower == "srcset") {
          name = lower == "style" ? "style" : "srcset";
        } else if (space == GUMBO_NAMESPACE_HTML) {
          if (kHtmlUrlAttributes.contains(lower)) url = true;
          if (url || kHtmlAttributes.contains(lower) || (lower.starts_with("aria-") && isPlainName(lower)))
            name = lower;
        } else if (space == GUMBO_NAMESPACE_SVG) {
          if (lower == "href") name = "href", url = true;
          else name = lookUp(svgAttributes(), lower);
        } else if (kMathmlAttributes.contains(lower)) {
          name = lower;
        }
        break;
    }
    if (name.empty()) return;
    std::string value;
    if (url) {
      std::optional<std::string> allowed = allowedUrl(attribute.value, resolve_);
      if (!allowed) return;
      value = std::move(*allowed);
    } else if (name == "srcset") {
      if (space != GUMBO_NAMESPACE_HTML) return;
      std::optional<std::string> allowed = allowedSrcset(attribute.value, resolve_);
      if (!allowed) return;
      value = std::move(*allowed);
    } else if (name == "style") {
      value = resolvedCss(attribute.value, resolve_);
    } else {
      value = attribute.value;
    }
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    appendEscapedHtml(out_, value);
    out_ += '"';
  }

  static bool isPlainName(std::string_view name) {
    for (char c : name)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
    return true;
  }

  const ReferenceResolver& resolve_;
  std::string out_;
};

// The charset of a meta element's content="text/html; charset=..." (the HTML standard's
// extraction algorithm), or an empty string.
std::string charsetFromContent(std::string_view content) {
  for (size_t at = 0; at + 7 <= content.size(); ++at) {
    if (!equalsIgnoringAsciiCase(content.substr(at, 7), "charset")) continue;
    size_t i = at + 7;
    while (i < content.size() && static_cast<unsigned char>(content[i]) <= ' ') ++i;
    if (i >= content.size() || content[i] != '=') continue;
    ++i;
    while (i < content.size() && static_cast<unsigned char>(content[i]) <= ' ') ++i;
    if (i >= content.size()) return {};
    if (content[i] == '"' || content[i] == '\'') {
      const size_t close = content.find(content[i], i + 1);
      return close == std::string_view::npos ? std::string() : std::string(content.substr(i + 1, close - i - 1));
    }
    size_t stop = i;
    while (stop < content.size() && static_cast<unsigned char>(content[stop]) > ' ' && content[stop] != ';') ++stop;
    return std::string(content.substr(i, stop - i));
  }
  return {};
}

}  // namespace

std::string embedMessageHtml(std::string_view html, const ReferenceResolver& resolve,
                             std::chrono::steady_clock::duration budget) {
  const HtmlTree tree(html, budget);
  if (tree.complete()) return Sanitizer(resolve).run(tree.document(), html.size());
  std::string out = "<p class=\"vireo-note\">This message's HTML is too complex to show; its source follows.</p>"
                    "<div class=\"vireo-text\">";
  appendPlainTextHtml(out, html);
  out += "</div>";
  return out;
}

std::string metaCharset(std::string_view html) {
  // Browsers look no further than the start of the document either.
  const HtmlTree tree(html.substr(0, 4096));
  std::string charset;
  if (!tree.complete()) return charset;
  forEachNode(tree.document(), [&charset](const GumboNode& node) {
    if (!charset.empty() || node.type != GUMBO_NODE_ELEMENT || node.v.element.tag != GUMBO_TAG_META) return;
    const GumboElement& meta = node.v.element;
    if (const GumboAttribute* declared = attributeOf(meta, "charset")) {
      charset = declared->value;
    } else if (const GumboAttribute* equiv = attributeOf(meta, "http-equiv");
               equiv != nullptr && equalsIgnoringAsciiCase(equiv->value, "content-type")) {
      if (const GumboAttribute* content = attributeOf(meta, "content")) charset = charsetFromContent(content->value);
    }
  });
  while (!charset.empty() && static_cast<unsigned char>(charset.back()) <= ' ') charset.pop_back();
  while (!charset.empty() && static_cast<unsigned char>(charset.front()) <= ' ') charset.erase(0, 1);
  return charset;
}

}  // namespace vireo

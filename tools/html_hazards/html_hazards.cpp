#include "tools/html_hazards/html_hazards.h"

#include <algorithm>
#include <array>

#include "content/html_tree.h"

namespace vireo::testing {
namespace {

constexpr std::array<std::string_view, 27> kHazardousElements = {
    "script", "base", "meta", "iframe", "frame", "frameset", "object", "embed", "applet", "param",
    "textarea", "xmp", "plaintext", "noscript", "noembed", "noframes", "template", "foreignobject",
    "animate", "animatemotion", "animatetransform", "set", "handler", "listener", "annotation-xml",
    "mglyph", "malignmark"};
constexpr std::array<std::string_view, 7> kHazardousAttributes = {"target", "srcdoc", "formaction", "action",
                                                                  "http-equiv", "ping", "formtarget"};
constexpr std::array<std::string_view, 13> kUrlAttributes = {"href", "src", "action", "formaction", "background",
                                                             "poster", "cite", "longdesc", "data", "srcset",
                                                             "usemap", "dynsrc", "lowsrc"};

template <size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool hasAttribute(const GumboElement& element, const char* name, std::string_view value) {
  const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
  return attribute != nullptr && lowerCase(attribute->value) == value;
}

// The page's own metas: the first two children of head, charset then policy.
bool isOwnMeta(const GumboNode& node) {
  const GumboNode* head = node.parent;
  if (head == nullptr || head->type != GUMBO_NODE_ELEMENT || head->v.element.tag != GUMBO_TAG_HEAD) return false;
  const GumboVector& children = head->v.element.children;
  const GumboElement& meta = node.v.element;
  if (children.length > 0 && children.data[0] == &node) return hasAttribute(meta, "charset", "utf-8");
  return children.length > 1 && children.data[1] == &node &&
         hasAttribute(meta, "http-equiv", "content-security-policy") &&
         gumbo_get_attribute(&meta.attributes, "charset") == nullptr;
}

}  // namespace

bool isScriptUrl(std::string_view url) {
  std::string squeezed;
  for (char c : url)
    if (static_cast<unsigned char>(c) > ' ' && c != '\x7f') squeezed += c;
  squeezed = lowerCase(squeezed);
  for (std::string_view scheme : {"javascript:", "vbscript:", "livescript:"})
    if (squeezed.starts_with(scheme)) return true;
  return squeezed.starts_with("data:") && !squeezed.starts_with("data:image/");
}

std::vector<std::string> htmlHazards(std::string_view html, bool pageHead) {
  std::vector<std::string> found;
  const HtmlTree tree(html);
  if (!tree.complete()) return {"a page too deeply nested to parse"};
  forEachNode(tree.document(), [&](const GumboNode& node) {
    if (node.type != GUMBO_NODE_ELEMENT) return;
    const GumboElement& element = node.v.element;
    const std::string name = elementName(element);
    const bool ownMeta = pageHead && element.tag == GUMBO_TAG_META && isOwnMeta(node);
    if (isOneOf(name, kHazardousElements) && !ownMeta) found.push_back("element " + name);
    if (name == "link" && !hasAttribute(element, "rel", "stylesheet")) found.push_back("link that is not a stylesheet");
    for (unsigned i = 0; i < element.attributes.length; ++i) {
      const auto& attribute = *static_cast<const GumboAttribute*>(element.attributes.data[i]);
      const std::string attributeName = lowerCase(attribute.name);
      if (attributeName.starts_with("on")) found.push_back(name + " " + attributeName);
      if (isOneOf(attributeName, kHazardousAttributes) && !ownMeta) found.push_back(name + " " + attributeName);
      if (!isOneOf(attributeName, kUrlAttributes)) continue;
      // A srcset holds several URLs, each after a comma.
      std::string_view rest = attribute.value;
      for (;;) {
        const size_t comma = attributeName == "srcset" ? rest.find(',') : std::string_view::npos;
        if (isScriptUrl(rest.substr(0, comma))) {
          found.push_back(name + " " + attributeName + "=" + attribute.value);
          break;
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
  });
  return found;
}

}  // namespace vireo::testing

#pragma once
// HTML parsed as a browser parses it (gumbo: HTML5 tree construction, SVG and MathML included).
// The whole tree is freed at once rather than by gumbo's own clean-up, which recurses once per
// level of nesting: a hostile message nests deep enough to run out of stack.
#include <gumbo.h>

#include <functional>
#include <string>
#include <string_view>

namespace vireo {

class HtmlTree {
 public:
  explicit HtmlTree(std::string_view utf8);
  ~HtmlTree();
  HtmlTree(const HtmlTree&) = delete;
  HtmlTree& operator=(const HtmlTree&) = delete;

  const GumboNode& document() const { return *output_->document; }

 private:
  struct Allocations;
  std::string text_;  // gumbo's nodes point into it
  Allocations* allocations_;
  GumboOutput* output_ = nullptr;
};

// An element's tag name in ASCII lower case, also for tags gumbo does not know ("x-custom").
std::string elementName(const GumboElement& element);

// Each node of the tree under root (root first) in document order, without recursion.
void forEachNode(const GumboNode& root, const std::function<void(const GumboNode&)>& visit);

}  // namespace vireo

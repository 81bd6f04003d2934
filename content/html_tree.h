#pragma once
// HTML parsed as a browser parses it (gumbo: HTML5 tree construction, SVG and MathML included).
// The whole tree is freed at once rather than by gumbo's own clean-up, which recurses once per
// level of nesting: a hostile message nests deep enough to run out of stack.
#include <gumbo.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace vireo {

// gumbo's work grows with the square of the nesting depth (each new element looks through the
// open ones): ten thousand levels take a tenth of a second, a million would take an hour. A parse
// that has taken this long is given up; real mail of tens of megabytes parses well within it.
inline constexpr std::chrono::seconds kHtmlParseBudget{10};

class HtmlTree {
 public:
  explicit HtmlTree(std::string_view utf8, std::chrono::steady_clock::duration budget = kHtmlParseBudget);
  ~HtmlTree();
  HtmlTree(const HtmlTree&) = delete;
  HtmlTree& operator=(const HtmlTree&) = delete;

  // False when the parse was given up: there is no tree then.
  bool complete() const { return output_ != nullptr; }
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

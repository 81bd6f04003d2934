#include "content/html_tree.h"

#include <csetjmp>
#include <cstdlib>
#include <vector>

#include "platform/ascii_case.h"

namespace vireo {

// Every block gumbo holds, linked through a header in front of it; the header's 16 bytes keep
// malloc's alignment for what follows.
struct alignas(16) Block {
  Block* previous;
  Block* next;
};

struct HtmlTree::Allocations {
  Block* first = nullptr;
  // The clock is read every so many allocations; a parse past its deadline jumps back out of
  // gumbo (C, nothing of it to unwind) to the constructor, and everything it held is freed here.
  std::chrono::steady_clock::time_point deadline;
  unsigned calls = 0;
  std::jmp_buf giveUp;

  static void* allocate(void* userdata, size_t size) {
    auto* self = static_cast<Allocations*>(userdata);
    if (self->calls++ % 256 == 0 && std::chrono::steady_clock::now() >= self->deadline) std::longjmp(self->giveUp, 1);
    void* raw = std::malloc(sizeof(Block) + size);
    if (raw == nullptr) std::longjmp(self->giveUp, 1);  // gumbo has no way to fail: give up as past the budget
    Block* block = static_cast<Block*>(raw);
    block->previous = nullptr;
    block->next = self->first;
    if (self->first != nullptr) self->first->previous = block;
    self->first = block;
    return block + 1;
  }

  static void deallocate(void* userdata, void* pointer) {
    if (pointer == nullptr) return;
    auto* self = static_cast<Allocations*>(userdata);
    Block* block = static_cast<Block*>(pointer) - 1;
    if (block->previous != nullptr) block->previous->next = block->next;
    else self->first = block->next;
    if (block->next != nullptr) block->next->previous = block->previous;
    std::free(block);
  }

  ~Allocations() {
    while (first != nullptr) {
      Block* next = first->next;
      std::free(first);
      first = next;
    }
  }
};

HtmlTree::HtmlTree(std::string_view utf8, std::chrono::steady_clock::duration budget)
    : text_(utf8), allocations_(new Allocations) {
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &Allocations::allocate;
  options.deallocator = &Allocations::deallocate;
  options.userdata = allocations_;
  // Each recorded error copies the stack of open elements: quadratic on a deep tree, and unread.
  options.max_errors = 0;
  allocations_->deadline = std::chrono::steady_clock::now() + budget;
  if (setjmp(allocations_->giveUp) != 0) return;  // output_ stays null
  output_ = gumbo_parse_with_options(&options, text_.data(), text_.size());
}

HtmlTree::~HtmlTree() { delete allocations_; }

std::string elementName(const GumboElement& element) {
  std::string name;
  if (element.tag != GUMBO_TAG_UNKNOWN) {
    name = gumbo_normalized_tagname(element.tag);
  } else {
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    name.assign(piece.data != nullptr ? piece.data : "", piece.length);
  }
  for (char& c : name) c = asciiLower(c);
  return name;
}

void forEachNode(const GumboNode& root, const std::function<void(const GumboNode&)>& visit) {
  std::vector<const GumboNode*> pending = {&root};
  while (!pending.empty()) {
    const GumboNode* node = pending.back();
    pending.pop_back();
    visit(*node);
    const GumboVector* children = nullptr;
    if (node->type == GUMBO_NODE_DOCUMENT) children = &node->v.document.children;
    else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) children = &node->v.element.children;
    if (children == nullptr) continue;
    for (unsigned i = children->length; i > 0; --i) pending.push_back(static_cast<const GumboNode*>(children->data[i - 1]));
  }
}

}  // namespace vireo

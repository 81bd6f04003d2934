#include "platform/registry_tree.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace vireo {
namespace {

class TreeKey final : public RegistryKey {
 public:
  TreeKey(std::shared_ptr<const RegistryNode> tree, const RegistryNode& node)
      : tree_(std::move(tree)), node_(node) {}

  std::string name() const override { return node_.name; }
  size_t subkeyCount() const override { return node_.children.size(); }
  std::unique_ptr<RegistryKey> subkey(size_t index) const override {
    if (index >= node_.children.size()) return nullptr;
    return std::make_unique<TreeKey>(tree_, *node_.children[index]);
  }
  std::optional<RegistryValue> value(std::string_view valueName) const override {
    for (const auto& [name, value] : node_.values)
      if (equalsIgnoringAsciiCase(name, valueName)) return value;
    return std::nullopt;
  }
  std::vector<std::string> valueNames() const override {
    std::vector<std::string> names;
    for (const auto& entry : node_.values) names.push_back(entry.first);
    return names;
  }

 private:
  std::shared_ptr<const RegistryNode> tree_;
  const RegistryNode& node_;
};

}  // namespace

RegistryNode& RegistryNode::child(std::string_view childName) {
  std::string folded(childName);
  for (char& c : folded) c = asciiLower(c);
  const auto [at, added] = childIndex_.try_emplace(std::move(folded), children.size());
  if (!added) return *children[at->second];
  children.push_back(std::make_unique<RegistryNode>());
  children.back()->name = std::string(childName);
  return *children.back();
}

void RegistryNode::setValue(std::string_view valueName, RegistryValue value) {
  for (auto& [name, existing] : values) {
    if (equalsIgnoringAsciiCase(name, valueName)) {
      existing = std::move(value);
      return;
    }
  }
  values.emplace_back(std::string(valueName), std::move(value));
}

void RegistryNode::eraseValue(std::string_view valueName) {
  std::erase_if(values, [&](const auto& entry) { return equalsIgnoringAsciiCase(entry.first, valueName); });
}

size_t RegistryNode::keyCount() const {
  size_t count = 1;
  for (const auto& child : children) count += child->keyCount();
  return count;
}

std::unique_ptr<RegistryKey> treeKey(std::shared_ptr<const RegistryNode> tree, const RegistryNode& node) {
  return std::make_unique<TreeKey>(std::move(tree), node);
}

RegistryValue stringValue(std::string_view text, RegistryType type) {
  return RegistryValue{static_cast<uint32_t>(type), utf16leFromUtf8(text)};
}

}  // namespace vireo

#pragma once
// A registry hive held in memory: what a parsed text hive becomes, and what tests build.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry_key.h"

namespace vireo {

struct RegistryNode {
  std::string name;
  std::vector<std::pair<std::string, RegistryValue>> values;  // in the order first set
  std::vector<std::unique_ptr<RegistryNode>> children;        // in the order first met

  // The child called name (any letter case), made when missing.
  RegistryNode& child(std::string_view childName);
  // Sets (or replaces) a value; "" is the default value.
  void setValue(std::string_view valueName, RegistryValue value);
  void eraseValue(std::string_view valueName);
  size_t keyCount() const;  // this key and every key below it

 private:
  // Children by lower-cased name, so a key with many subkeys is filled in linear time.
  std::unordered_map<std::string, size_t> childIndex_;
};

// A key over a tree that must outlive it (the tree is shared by every key handed out).
std::unique_ptr<RegistryKey> treeKey(std::shared_ptr<const RegistryNode> tree, const RegistryNode& node);
inline std::unique_ptr<RegistryKey> treeRoot(std::shared_ptr<const RegistryNode> tree) {
  const RegistryNode& root = *tree;
  return treeKey(std::move(tree), root);
}

// A string value of the given type (string or expandableString) holding text.
RegistryValue stringValue(std::string_view text, RegistryType type = RegistryType::string);

}  // namespace vireo

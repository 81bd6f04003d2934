#include "fuzz/registry_walk.h"

#include <cstdlib>

namespace vireo::fuzz {
namespace {

constexpr int kMaxKeys = 20000;
constexpr int kMaxDepth = 600;

void walk(const RegistryKey& key, int depth, int& visited) {
  if (++visited > kMaxKeys || depth > kMaxDepth) return;
  for (const std::string& name : key.valueNames()) {
    if (const auto value = key.value(name)) (void)value->text();
  }
  (void)findSubkey(key, "Outlook Express");
  const size_t count = key.subkeyCount();
  for (size_t i = 0; i < count && visited <= kMaxKeys; ++i)
    if (const auto child = key.subkey(i)) walk(*child, depth + 1, visited);
}

}  // namespace

void walkEveryKey(const RegistryKey& root) {
  int visited = 0;
  walk(root, 0, visited);
}

}  // namespace vireo::fuzz

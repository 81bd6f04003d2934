#include "platform/hive_file.h"

#include <fcntl.h>
#include <hivex.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/read_only_file.h"
#include "platform/write_all.h"

namespace vireo {
namespace {

struct Hive {
  explicit Hive(hive_h* handle) : h(handle) {}
  ~Hive() { hivex_close(h); }
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;
  hive_h* h;
};

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

class HiveKey final : public RegistryKey {
 public:
  HiveKey(std::shared_ptr<Hive> hive, hive_node_h node) : hive_(std::move(hive)), node_(node) {
    // The children are listed once: hivex builds the whole list on every call.
    std::unique_ptr<hive_node_h, FreeDeleter> children(hivex_node_children(hive_->h, node_));
    if (!children) return;
    for (const hive_node_h* child = children.get(); *child; ++child) children_.push_back(*child);
  }

  std::string name() const override {
    std::unique_ptr<char, FreeDeleter> name(hivex_node_name(hive_->h, node_));
    return name ? std::string(name.get()) : std::string();
  }
  size_t subkeyCount() const override { return children_.size(); }
  std::unique_ptr<RegistryKey> subkey(size_t index) const override {
    if (index >= children_.size()) return nullptr;
    return std::make_unique<HiveKey>(hive_, children_[index]);
  }
  std::optional<RegistryValue> value(std::string_view valueName) const override {
    const std::string key(valueName);
    const hive_value_h value = hivex_node_get_value(hive_->h, node_, key.c_str());
    if (value == 0) return std::nullopt;
    // A hive may hold any 32-bit type; read it as a number, since loading a value outside
    // hive_type's listed ones through the enum is undefined behaviour.
    static_assert(sizeof(hive_type) == sizeof(uint32_t));
    uint32_t type = 0;
    size_t length = 0;
    std::unique_ptr<char, FreeDeleter> data(
        hivex_value_value(hive_->h, value, reinterpret_cast<hive_type*>(&type), &length));
    if (!data) return std::nullopt;
    return RegistryValue{type, std::string(data.get(), length)};
  }
  std::vector<std::string> valueNames() const override {
    std::vector<std::string> names;
    std::unique_ptr<hive_value_h, FreeDeleter> values(hivex_node_values(hive_->h, node_));
    if (!values) return names;
    for (const hive_value_h* value = values.get(); *value; ++value) {
      std::unique_ptr<char, FreeDeleter> name(hivex_value_key(hive_->h, *value));
      if (name) names.emplace_back(name.get());
    }
    return names;
  }

 private:
  std::shared_ptr<Hive> hive_;
  hive_node_h node_;
  std::vector<hive_node_h> children_;
};

// Copies the file whole into a new "<workingFolder>/hive-XXXXXX" (made with O_EXCL and mode
// 0600); its name, or empty when the file could not be read whole or the copy not written.
std::string copyHive(const std::string& path, const std::string& workingFolder) {
  ReadOnlyFile source;
  if (!source.open(path) || source.size() > kHiveFileSizeLimit) return {};
  std::string copy = workingFolder + "/hive-XXXXXX";
  const int fd = ::mkostemp(copy.data(), O_CLOEXEC);
  if (fd < 0) return {};
  constexpr size_t kChunk = 1 << 20;
  std::vector<char> buffer(kChunk);
  bool whole = true;
  for (uint64_t offset = 0; whole && offset < source.size();) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kChunk, source.size() - offset));
    const size_t got = source.readAt(offset, buffer.data(), wanted);
    whole = got == wanted && writeAll(fd, buffer.data(), got);
    offset += got;
  }
  whole = ::close(fd) == 0 && whole;
  if (!whole) {
    ::unlink(copy.c_str());
    return {};
  }
  return copy;
}

}  // namespace

std::unique_ptr<RegistryKey> openHiveFile(const std::string& path, const std::string& workingFolder) {
  if (workingFolder.empty()) return nullptr;
  const std::string copy = copyHive(path, workingFolder);
  if (copy.empty()) return nullptr;
  hive_h* handle = hivex_open(copy.c_str(), 0);
  ::unlink(copy.c_str());
  if (!handle) return nullptr;
  auto hive = std::make_shared<Hive>(handle);
  const hive_node_h root = hivex_root(hive->h);
  if (root == 0) return nullptr;
  return std::make_unique<HiveKey>(std::move(hive), root);
}

}  // namespace vireo

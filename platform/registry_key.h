#pragma once
// One key of a registry hive, read-only, whatever the hive is stored in: Wine's text files or a
// Windows hive file. Names compare without regard to ASCII case, as the registry's do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vireo {

enum class RegistryType : uint32_t {
  none = 0,
  string = 1,            // REG_SZ
  expandableString = 2,  // REG_EXPAND_SZ
  binary = 3,            // REG_BINARY
  dword = 4,             // REG_DWORD
  multiString = 7,       // REG_MULTI_SZ
};

struct RegistryValue {
  uint32_t type = 0;  // a RegistryType, or any other number the hive holds
  std::string data;   // the stored bytes: UTF-16LE for the string types

  // The value as text, the way a narrow registry read hands it over: string types converted
  // from UTF-16LE to UTF-8, any other type's bytes as they are; both up to the first NUL.
  std::string text() const;
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  virtual std::string name() const = 0;
  virtual size_t subkeyCount() const = 0;
  // The index-th subkey in the hive's enumeration order; null when it cannot be opened.
  virtual std::unique_ptr<RegistryKey> subkey(size_t index) const = 0;
  // "" is the key's default value.
  virtual std::optional<RegistryValue> value(std::string_view name) const = 0;
  virtual std::vector<std::string> valueNames() const = 0;
};

// The subkey called name (any letter case); null when there is none.
std::unique_ptr<RegistryKey> findSubkey(const RegistryKey& key, std::string_view name);
// The key at a backslash-separated path below key; null when a step is missing.
std::unique_ptr<RegistryKey> findKeyPath(const RegistryKey& key, std::string_view path);
// The text of a value of the key at path below key; nothing when it is missing or empty.
std::optional<std::string> valueText(const RegistryKey& key, std::string_view path, std::string_view name);

// UTF-8 text to the UTF-16LE bytes a string value stores (no terminating NUL).
std::string utf16leFromUtf8(std::string_view text);
// UTF-16LE bytes to UTF-8, stopping at the first NUL unit; unpaired surrogates become U+FFFD.
std::string utf8FromUtf16le(std::string_view bytes);

}  // namespace vireo

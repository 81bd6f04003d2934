#include "platform/registry_key.h"

#include "platform/ascii_case.h"

namespace vireo {
namespace {

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void appendUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

bool isStringType(uint32_t type) {
  return type == static_cast<uint32_t>(RegistryType::string) ||
         type == static_cast<uint32_t>(RegistryType::expandableString) ||
         type == static_cast<uint32_t>(RegistryType::multiString);
}

}  // namespace

std::string RegistryValue::text() const {
  if (isStringType(type)) return utf8FromUtf16le(data);
  return data.substr(0, data.find('\0'));
}

std::unique_ptr<RegistryKey> findSubkey(const RegistryKey& key, std::string_view name) {
  const size_t count = key.subkeyCount();
  for (size_t i = 0; i < count; ++i) {
    std::unique_ptr<RegistryKey> child = key.subkey(i);
    if (child && equalsIgnoringAsciiCase(child->name(), name)) return child;
  }
  return nullptr;
}

std::unique_ptr<RegistryKey> findKeyPath(const RegistryKey& key, std::string_view path) {
  std::unique_ptr<RegistryKey> current;
  const RegistryKey* at = &key;
  while (!path.empty()) {
    const size_t cut = path.find('\\');
    const std::string_view step = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view{} : path.substr(cut + 1);
    if (step.empty()) continue;
    current = findSubkey(*at, step);
    if (!current) return nullptr;
    at = current.get();
  }
  return current;
}

std::optional<std::string> valueText(const RegistryKey& key, std::string_view path, std::string_view name) {
  const std::unique_ptr<RegistryKey> found = findKeyPath(key, path);
  if (!found) return std::nullopt;
  const std::optional<RegistryValue> value = found->value(name);
  if (!value) return std::nullopt;
  std::string text = value->text();
  if (text.empty()) return std::nullopt;
  return text;
}

std::string utf16leFromUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (byte < 0x80) {
      code = byte;
    } else {
      const size_t need = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
      if (need && i + need <= text.size()) {
        code = byte & (0xFF >> (need + 1));
        bool whole = true;
        for (size_t k = 1; k < need; ++k) {
          const auto next = static_cast<unsigned char>(text[i + k]);
          if ((next & 0xC0) != 0x80) whole = false;
          code = (code << 6) | (next & 0x3F);
        }
        if (whole && code <= 0x10FFFF) length = need;
        else code = 0xFFFD;
      }
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      appendUnit(out, 0xD800 | (code >> 10));
      appendUnit(out, 0xDC00 | (code & 0x3FF));
    } else {
      appendUnit(out, code);
    }
  }
  return out;
}

std::string utf8FromUtf16le(std::string_view bytes) {
  std::string out;
  const size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8;
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t code = unitAt(i);
    if (code == 0) break;
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    appendUtf8(out, code);
  }
  return out;
}

}  // namespace vireo

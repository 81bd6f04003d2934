#include "platform/wine_hive.h"

#include <cstdint>
#include <vector>

#include "platform/hex_digit.h"
#include "platform/read_only_file.h"

namespace vireo {
namespace {

void appendUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>((unit >> 8) & 0xFF);
}

// A quoted string from just after its opening delimiter up to the unescaped closing one, as
// UTF-16LE. Bytes outside ASCII are read as UTF-8. Advances past the closing delimiter; nothing
// when the line ends first.
std::optional<std::string> parseQuoted(std::string_view line, size_t& at, char close) {
  std::string raw;  // UTF-8 pieces between escapes, converted in one go
  std::string out;
  auto flush = [&] {
    out += utf16leFromUtf8(raw);
    raw.clear();
  };
  while (at < line.size()) {
    const char c = line[at++];
    if (c == close) {
      flush();
      return out;
    }
    if (c != '\\') {
      raw += c;
      continue;
    }
    if (at >= line.size()) return std::nullopt;
    const char e = line[at++];
    uint32_t unit = 0;
    switch (e) {
      case 'a': unit = 7; break;
      case 'b': unit = 8; break;
      case 'e': unit = 27; break;
      case 'f': unit = 12; break;
      case 'n': unit = 10; break;
      case 'r': unit = 13; break;
      case 't': unit = 9; break;
      case 'v': unit = 11; break;
      case 'x': {
        int digits = 0;
        while (digits < 4 && at < line.size() && hexDigitValue(line[at]) >= 0) {
          unit = unit * 16 + static_cast<uint32_t>(hexDigitValue(line[at++]));
          ++digits;
        }
        if (digits == 0) unit = 'x';
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unit = static_cast<uint32_t>(e - '0');
          for (int digits = 1; digits < 3 && at < line.size() && line[at] >= '0' && line[at] <= '7'; ++digits)
            unit = unit * 8 + static_cast<uint32_t>(line[at++] - '0');
        } else if (static_cast<unsigned char>(e) < 0x80) {
          unit = static_cast<unsigned char>(e);
        } else {
          // An escaped non-ASCII byte: keep it with the UTF-8 text around it.
          raw += e;
          continue;
        }
    }
    flush();
    appendUnit(out, unit);
  }
  return std::nullopt;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// "hex:" / "hex(N):" bytes, comma-separated; nothing when a piece is not a byte.
std::optional<std::string> parseHexBytes(std::string_view text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == ',')) ++at;
    if (at >= text.size()) break;
    int value = 0;
    int digits = 0;
    while (at < text.size() && hexDigitValue(text[at]) >= 0) {
      value = value * 16 + hexDigitValue(text[at++]);
      if (++digits > 2) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

// A type number in hex, as in "hex(2)" and "str(7)"; at is just after '('.
std::optional<uint32_t> parseTypeNumber(std::string_view text, size_t& at) {
  uint32_t type = 0;
  int digits = 0;
  while (at < text.size() && hexDigitValue(text[at]) >= 0) {
    if (++digits > 8) return std::nullopt;
    type = type * 16 + static_cast<uint32_t>(hexDigitValue(text[at++]));
  }
  if (digits == 0 || text.substr(at, 2) != "):") return std::nullopt;
  at += 2;
  return type;
}

// The part after '=': nothing when it cannot be read; a value of type none with erase set for "-".
struct ParsedData {
  RegistryValue value;
  bool erase = false;
};

std::optional<ParsedData> parseData(std::string_view text) {
  ParsedData parsed;
  if (text == "-") {
    parsed.erase = true;
    return parsed;
  }
  size_t at = 0;
  if (text.starts_with("\"")) {
    at = 1;
    auto data = parseQuoted(text, at, '"');
    if (!data) return std::nullopt;
    parsed.value = {static_cast<uint32_t>(RegistryType::string), std::move(*data)};
    return parsed;
  }
  if (text.starts_with("str(")) {
    at = 4;
    const auto type = parseTypeNumber(text, at);
    if (!type || at >= text.size() || text[at] != '"') return std::nullopt;
    ++at;
    auto data = parseQuoted(text, at, '"');
    if (!data) return std::nullopt;
    parsed.value = {*type, std::move(*data)};
    return parsed;
  }
  if (text.starts_with("dword:")) {
    const std::string_view digits = trimmed(text.substr(6));
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t number = 0;
    for (const char c : digits) {
      if (hexDigitValue(c) < 0) return std::nullopt;
      number = number * 16 + static_cast<uint32_t>(hexDigitValue(c));
    }
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((number >> (8 * i)) & 0xFF);
    parsed.value = {static_cast<uint32_t>(RegistryType::dword), std::move(data)};
    return parsed;
  }
  uint32_t type = static_cast<uint32_t>(RegistryType::binary);
  if (text.starts_with("hex:")) {
    at = 4;
  } else if (text.starts_with("hex(")) {
    at = 4;
    const auto number = parseTypeNumber(text, at);
    if (!number) return std::nullopt;
    type = *number;
  } else {
    return std::nullopt;
  }
  auto bytes = parseHexBytes(text.substr(at));
  if (!bytes) return std::nullopt;
  parsed.value = {type, std::move(*bytes)};
  return parsed;
}

// Splits a key path at its backslashes into UTF-8 names; empty steps are dropped.
std::vector<std::string> keySteps(const std::string& utf16) {
  std::vector<std::string> steps;
  std::string step;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    if (utf16[i] == '\\' && utf16[i + 1] == 0) {
      if (!step.empty()) steps.push_back(utf8FromUtf16le(step));
      step.clear();
    } else {
      step.append(utf16, i, 2);
    }
  }
  if (!step.empty()) steps.push_back(utf8FromUtf16le(step));
  return steps;
}

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    const size_t end = text_.find('\n', at_);
    const size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(at_, stop - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end == std::string_view::npos ? text_.size() : end + 1;
    return true;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

void readRelativeTo(std::string_view line, WineHive& hive) {
  constexpr std::string_view marker = ";; All keys relative to ";
  if (!line.starts_with(marker) || !hive.relativeTo.empty()) return;
  std::string_view rest = trimmed(line.substr(marker.size()));
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && i + 1 < rest.size() && rest[i + 1] == '\\') ++i;
    hive.relativeTo += rest[i];
  }
}

}  // namespace

WineHive parseWineHive(std::string_view text) {
  WineHive hive;
  RegistryNode* key = nullptr;
  LineReader lines(text);
  std::string_view line;
  std::string joined;
  while (lines.next(line)) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == ';') {
      readRelativeTo(line, hive);
      continue;
    }
    if (line[0] == '[') {
      size_t at = 1;
      const auto path = parseQuoted(line, at, ']');
      key = nullptr;
      if (!path) continue;
      const std::vector<std::string> steps = keySteps(*path);
      if (steps.size() > kRegistryDepthLimit) continue;
      key = hive.root.get();
      for (const std::string& step : steps) key = &key->child(step);
      continue;
    }
    std::string name;
    size_t at = 0;
    if (line.starts_with("@=")) {
      at = 2;
    } else if (line[0] == '"') {
      at = 1;
      const auto quoted = parseQuoted(line, at, '"');
      if (!quoted || at >= line.size() || line[at] != '=') continue;
      name = utf8FromUtf16le(*quoted);
      ++at;
    } else {
      continue;
    }
    std::string_view data = trimmed(line.substr(at));
    // Hex data goes on over the lines that follow a trailing backslash.
    if (data.starts_with("hex") && data.ends_with("\\")) {
      joined.assign(data.substr(0, data.size() - 1));
      std::string_view more;
      while (lines.next(more)) {
        more = trimmed(more);
        const bool goesOn = more.ends_with("\\");
        joined.append(goesOn ? more.substr(0, more.size() - 1) : more);
        if (!goesOn) break;
      }
      data = joined;
    }
    if (!key) continue;
    auto parsed = parseData(data);
    if (!parsed) continue;
    if (parsed->erase) key->eraseValue(name);
    else key->setValue(name, std::move(parsed->value));
  }
  return hive;
}

std::optional<WineHive> readWineHive(const std::string& path) {
  ReadOnlyFile file;
  if (!file.open(path) || file.size() > kWineHiveSizeLimit) return std::nullopt;
  std::string text(static_cast<size_t>(file.size()), '\0');
  if (file.readAt(0, text.data(), text.size()) != text.size()) return std::nullopt;
  if (!text.starts_with("WINE REGISTRY")) return std::nullopt;
  return parseWineHive(text);
}

}  // namespace vireo

#include "platform/environment_strings.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace vireo {

void EnvironmentVariables::set(std::string_view name, std::string value) {
  const auto at = std::find_if(variables_.begin(), variables_.end(),
                               [&](const auto& entry) { return equalsIgnoringAsciiCase(entry.first, name); });
  if (value.empty()) {
    if (at != variables_.end()) variables_.erase(at);
  } else if (at != variables_.end()) {
    at->second = std::move(value);
  } else {
    variables_.emplace_back(std::string(name), std::move(value));
  }
}

std::optional<std::string> EnvironmentVariables::get(std::string_view name) const {
  for (const auto& [key, value] : variables_)
    if (equalsIgnoringAsciiCase(key, name)) return value;
  return std::nullopt;
}

std::string expandEnvironmentStrings(std::string_view text, const EnvironmentVariables& variables) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('%', at);
    if (open == std::string_view::npos) break;
    out.append(text, at, open - at);
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {
      at = open;
      break;
    }
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const std::optional<std::string> value = name.empty() ? std::nullopt : variables.get(name);
    if (value) out += *value;
    else out.append(text, open, close - open + 1);
    at = close + 1;
  }
  out.append(text.substr(std::min(at, text.size())));
  return out;
}

}  // namespace vireo

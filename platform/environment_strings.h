#pragma once
// Windows environment variables for paths read from a registry: names without regard to ASCII
// case, and %NAME% expansion as ExpandEnvironmentStrings does it.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vireo {

class EnvironmentVariables {
 public:
  // Sets or replaces; an empty value removes the variable, as in Windows.
  void set(std::string_view name, std::string value);
  std::optional<std::string> get(std::string_view name) const;
  bool has(std::string_view name) const { return get(name).has_value(); }
  const std::vector<std::pair<std::string, std::string>>& all() const { return variables_; }

 private:
  std::vector<std::pair<std::string, std::string>> variables_;
};

// Replaces every %NAME% of a defined variable by its value; an unknown %NAME% stays as it is,
// and a lone % too. One pass: values are not expanded again.
std::string expandEnvironmentStrings(std::string_view text, const EnvironmentVariables& variables);

}  // namespace vireo

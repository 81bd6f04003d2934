#pragma once
// Windows paths read from a registry, turned into host paths: a drive letter names a host
// folder, and each step is found without regard to ASCII case, because Windows ignores case
// where the host does not.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vireo {

class WindowsDriveMap {
 public:
  // letter: 'A' to 'Z' in either case; folder: the host folder holding that drive's root.
  void mapDrive(char letter, std::string folder);
  std::optional<std::string> driveFolder(char letter) const;

  // "C:\Documents and Settings\Ann" (or with forward slashes, or "\\?\C:\...") to the host path
  // of the same place: each step that exists in another letter case is spelled as on disk, a
  // step that exists nowhere is kept as written. Nothing for an unmapped drive, a UNC path or a
  // path without a drive.
  std::optional<std::string> hostPath(std::string_view windowsPath) const;

 private:
  std::array<std::optional<std::string>, 26> drives_;
};

// The drive letter of "X:..." in upper case; nothing when the path does not start with one.
std::optional<char> windowsDriveLetter(std::string_view windowsPath);

// folder/step for each step, each found in the letter case it has on disk when the exact
// spelling is missing. "." and empty steps are skipped; ".." goes up but never above folder.
std::string findPathIgnoringCase(const std::string& folder, const std::vector<std::string>& steps);

}  // namespace vireo

#pragma once
// A private folder for one test's files, removed with everything in it when it goes.
#include <string>
#include <vector>

namespace vireo::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string fileText(const std::string& path);

// The names in a folder (hidden ones too), sorted.
std::vector<std::string> fileNamesIn(const std::string& folder);

}  // namespace vireo::testing

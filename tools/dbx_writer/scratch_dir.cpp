#include "tools/dbx_writer/scratch_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "platform/piece_mapped_file.h"
#include "platform/read_only_file.h"

namespace vireo::testing {

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vireo-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string fileText(const std::string& path) {
  // A base carved from an image exists only as a map onto it: read it as the program does.
  if (findPieceMap(path)) {
    ReadOnlyFile file;
    std::string text;
    if (!file.open(path)) return text;
    text.resize(static_cast<size_t>(file.size()));
    text.resize(file.readAt(0, text.data(), text.size()));
    return text;
  }
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> fileNamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vireo::testing

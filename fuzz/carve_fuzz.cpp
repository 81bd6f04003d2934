// Carving any bytes as a disk image: the block votes, the pieces and bases they make, and the
// recovery of each read in place through its map onto the image.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz/memory_file.h"
#include "reader/image_carve_run.h"

namespace {

// One working folder for the whole run (the carved bases are mapped under names in it; nothing is
// written there), emptied after every input and removed at exit. Its name is never destroyed:
// the exit handler runs after the function statics made before it are gone.
const std::string& workingFolder() {
  static const std::string* const folder = [] {
    auto* name = new std::string(std::filesystem::temp_directory_path().string() + "/vireo-carve-fuzz-XXXXXX");
    if (!::mkdtemp(name->data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(workingFolder(), ignored);
    });
    return name;
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vireo::fuzz::silenceMessages();
  const vireo::fuzz::MemoryFile image(data, size);
  { const vireo::ImageCarve carve = vireo::carveImage(image.path(), workingFolder(), nullptr, nullptr); }
  for (const auto& entry : std::filesystem::directory_iterator(workingFolder())) std::filesystem::remove(entry.path());
  return 0;
}

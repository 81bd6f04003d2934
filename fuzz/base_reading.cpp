#include "fuzz/base_reading.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "fuzz/memory_file.h"
#include "reader/message_base_reader.h"
#include "reader/preview_file.h"

namespace vireo::fuzz {

void openAndReadBase(const uint8_t* data, size_t size, int recoverMode) {
  silenceMessages();
  MemoryFile file(data, size);
  MessageBaseReader reader;
  reader.baseFolder = file.folder();
  reader.baseName = file.name();
  reader.recoverMode = recoverMode;
  reader.openBase(false);
  if (reader.ok != 0 && reader.ok != 1) std::abort();
  if (reader.records.size() != reader.listCount()) std::abort();

  // The preview writes each record's stored bytes: every block list must be readable safely.
  static const std::string scratch = [] {
    static std::string folder = std::filesystem::temp_directory_path() / ("vireo-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
    return folder;
  }();
  std::string previewPath;
  for (int r = 0; r < reader.count() && r < 64; ++r) {
    const MessageRecord& record = reader.records[static_cast<size_t>(r)];
    if (!record.invalid && record.number < 0) std::abort();
    (void)writePreviewFile(reader, scratch, 0, r, previewPath);
  }
}

}  // namespace vireo::fuzz

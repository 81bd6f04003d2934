#include "reader/preview_file.h"

#include "content/message_export.h"
#include "platform/folder_path.h"

namespace vireo {

bool writePreviewFile(const MessageBaseReader& reader, const std::string& tempFolder, int readerIndex,
                      int recordIndex, std::string& previewPath) {
  removeFilesWithExtension(tempFolder, ".mht");
  previewPath = previewFileName(tempFolder, readerIndex, recordIndex);
  // Vireo's own file in its own folder: the newest preview takes the name.
  return !MessageFileWriter(reader.workingPath).write(reader, recordIndex, previewPath, nullptr, ExistingName::replace);
}

}  // namespace vireo

// The reader's files leaving the system: one message as it is stored, and the base file itself.
#include <filesystem>
#include <system_error>

#include "content/message_export.h"
#include "platform/file_copy.h"
#include "platform/message_sink.h"
#include "reader/message_base_reader.h"

namespace vireo {

int MessageBaseReader::writeMessageFile(const std::string& folder, int recordIndex, const std::string& extension,
                                        int prefix, FailureReason* failure) const {
  if (recordIndex < 0 || recordIndex >= count()) return -1;
  const std::string name = messageFileName(folder, row(recordIndex).number, extension, prefix);
  const std::optional<FailureReason> written = MessageFileWriter(workingPath).write(*this, recordIndex, name);
  if (written && failure) *failure = *written;
  return written ? -1 : 0;
}

int MessageBaseReader::copyMessageBase(const std::string& destinationFolder, PlacedFile* placed,
                                       const std::function<bool(uint64_t copied, uint64_t total)>& progress) {
  const std::string source = basePath();
  const bool slashed = !destinationFolder.empty() && destinationFolder.back() == '/';
  const std::string destination = destinationFolder + (slashed ? "" : "/") + baseName;
  std::optional<FailureReason> failure;
  CopyOptions options;
  options.progress = progress;
  std::error_code same;
  // Copying a base onto itself is refused as the shell does, though it would change nothing.
  if (std::filesystem::equivalent(source, destination, same))
    failure = FailureReason{"the destination is the base itself", source, {}, {}};
  else
    failure = copyFile(source, destination, options, placed);
  if (!failure) return 0;
  if (failure->what == kCopyStopped) return -1;
  showMessageBox("Cannot copy dbx file\n" + describeFailure(*failure));
  ok = kOperationNotOk;
  return -1;
}

}  // namespace vireo

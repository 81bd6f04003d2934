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

int MessageBaseReader::copyMessageBase(const std::string& destinationFolder) {
  const std::string source = basePath();
  const std::string destination = destinationFolder + "/" + baseName;
  std::optional<FailureReason> failure;
  std::error_code same;
  // Copying a base onto itself would replace the user's file; it is refused as the shell does.
  if (std::filesystem::equivalent(source, destination, same))
    failure = FailureReason{"the destination is the base itself", source, {}, {}};
  else
    failure = copyFile(source, destination);
  if (!failure) return 0;
  showMessageBox("Cannot copy dbx file\n" + describeFailure(*failure));
  ok = kOperationNotOk;
  return -1;
}

}  // namespace vireo

#pragma once
// A message leaves the system as the exact bytes its base stores: the data of its blocks in list
// order, read from the working file of the operation that found it.
#include <optional>
#include <string>

#include "platform/failure_reason.h"
#include "platform/read_only_file.h"
#include "platform/user_file_writer.h"
#include "table/message_table.h"

namespace vireo {

// "<folder>/<number>.<extension>", or "<folder>/<prefix>_<number>.<extension>" unless prefix is -1.
std::string messageFileName(const std::string& folder, int number, const std::string& extension,
                            int prefix);

// "<tempFolder>/<readerIndex>_<recordIndex>.mht".
std::string previewFileName(const std::string& tempFolder, int readerIndex, int recordIndex);

// Writes the blocks' data from source as destination through UserFileWriter: a taken name is
// left as it is when it holds the same bytes, and otherwise kept, the message going beside it
// as "<stem> (2)<ext>" ... (or replaced, when existing says so). placed, when given, receives the
// final name. The file takes the message's Date as its modification time when it states one.
// When any block cannot be read or written the result says what failed and where,
// and nothing is left under any final name.
[[nodiscard]] std::optional<FailureReason> writeStoredBytes(ReadOnlyFile& source, BlockSpan blocks,
                                                            const std::string& destination,
                                                            PlacedFile* placed = nullptr,
                                                            ExistingName existing = ExistingName::keepBoth);

// The blocks' data from source into message (replaced); the failure says what could not be read.
[[nodiscard]] std::optional<FailureReason> readStoredBytes(ReadOnlyFile& source, BlockSpan blocks,
                                                           std::string& message);

// Writes messages of one table to files, with the working file (opened read-only) kept open
// between them: opening it is most of the cost of a small message.
class MessageFileWriter {
 public:
  explicit MessageFileWriter(const std::string& workingPath);
  // The stored bytes of table row recordIndex, as writeStoredBytes writes them.
  [[nodiscard]] std::optional<FailureReason> write(const MessageTable& table, int recordIndex,
                                                   const std::string& destination, PlacedFile* placed = nullptr,
                                                   ExistingName existing = ExistingName::keepBoth);

 private:
  std::string workingPath_;
  ReadOnlyFile in_;
};

}  // namespace vireo

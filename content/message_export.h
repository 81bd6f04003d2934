#pragma once
// A message leaves the system as the exact bytes its base stores: the data of its blocks in list
// order, read from the reader's working path. MessageBaseReader::writeMessageFile and
// copyMessageBase (declared with the reader) are defined beside these.
#include <string>

#include "platform/read_only_file.h"
#include "reader/block_list.h"

namespace vireo {

class MessageBaseReader;

// "<folder>/<number>.<extension>", or "<folder>/<prefix>_<number>.<extension>" unless prefix is -1.
std::string messageFileName(const std::string& folder, int number, const std::string& extension,
                            int prefix);

// "<tempFolder>/<readerIndex>_<recordIndex>.mht".
std::string previewFileName(const std::string& tempFolder, int readerIndex, int recordIndex);

// Writes the blocks' data from source into destination, replacing it. When any block cannot be
// read or written the result is false and no new file is left under destination's name (a file
// it would have replaced stays as it was). The source is opened read-only.
bool writeStoredBytes(const std::string& source, const BlockList& blocks,
                      const std::string& destination);

bool writeStoredBytes(ReadOnlyFile& source, const BlockList& blocks, const std::string& destination);

// writeMessageFile for many messages of one reader: the working file is opened once, which is
// most of the cost of a small message. For saving a whole base after its operation has ended.
class MessageExporter {
 public:
  explicit MessageExporter(const MessageBaseReader& reader);
  // As MessageBaseReader::writeMessageFile.
  int write(const std::string& folder, int recordIndex, const std::string& extension, int prefix);

 private:
  const MessageBaseReader& reader_;
  ReadOnlyFile in_;
};

// Removes the previews in tempFolder, then writes reader's records[recordIndex] to its preview
// file. previewPath receives that file's path, written or not. True when written.
bool writePreviewFile(const MessageBaseReader& reader, const std::string& tempFolder,
                      int readerIndex, int recordIndex, std::string& previewPath);

}  // namespace vireo

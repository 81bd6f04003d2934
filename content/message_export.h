#pragma once
// A message leaves the system as the exact bytes its base stores: the data of its blocks in list
// order, read from the reader's working path. MessageBaseReader::writeMessageFile and
// copyMessageBase (declared with the reader) are defined beside these.
#include <string>

#include "reader/block_list.h"

namespace vireo {

class MessageBaseReader;

// "<folder>/<number>.<extension>", or "<folder>/<prefix>_<number>.<extension>" unless prefix is -1.
std::string messageFileName(const std::string& folder, int number, const std::string& extension,
                            int prefix);

// "<tempFolder>/<readerIndex>_<recordIndex>.mht".
std::string previewFileName(const std::string& tempFolder, int readerIndex, int recordIndex);

// Writes the blocks' data from source into destination, replacing it. The bytes go to a temporary
// name beside destination that is renamed into place only when every block was read and written,
// so a failure never leaves a file under destination's name. The source is opened read-only.
bool writeStoredBytes(const std::string& source, const BlockList& blocks,
                      const std::string& destination);

// Removes the previews in tempFolder, then writes reader's records[recordIndex] to its preview
// file. previewPath receives that file's path, written or not. True when written.
bool writePreviewFile(const MessageBaseReader& reader, const std::string& tempFolder,
                      int readerIndex, int recordIndex, std::string& previewPath);

}  // namespace vireo

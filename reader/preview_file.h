#pragma once
#include <string>

#include "reader/message_base_reader.h"

namespace vireo {

// Removes the previews in tempFolder (it holds at most the one being written), then writes
// reader's records[recordIndex] to "<tempFolder>/<readerIndex>_<recordIndex>.mht". previewPath
// receives that file's path, written or not. True when written.
bool writePreviewFile(const MessageBaseReader& reader, const std::string& tempFolder, int readerIndex,
                      int recordIndex, std::string& previewPath);

}  // namespace vireo

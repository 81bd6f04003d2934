#include "content/message_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "content/folder_path.h"
#include "platform/file_copy.h"
#include "platform/message_sink.h"
#include "platform/read_only_file.h"
#include "platform/write_all.h"
#include "reader/allocation.h"
#include "reader/message_base_reader.h"

namespace vireo {
namespace {

// Bytes gathered before each write: a message of many small blocks costs few system calls, and a
// huge one never has to fit in memory whole.
constexpr size_t kWriteChunk = 1 << 20;
// Blocks of one chain usually lie one after another, apart by their 16-byte headers: a gap up to
// this size is read through rather than costing another read.
constexpr uint32_t kReadThroughGap = 64;


// Reads the blocks of one message in runs and hands the data on in chunks.
class BlockCopier {
 public:
  BlockCopier(ReadOnlyFile& in, int out) : in_(in), out_(out) {}

  bool copy(const std::vector<BlockRef>& blocks) {
    size_t first = 0;
    while (first < blocks.size()) {
      if (blocks[first].length < 0) return false;
      // A run: following blocks that start just after the previous one ends.
      size_t last = first;
      uint64_t end = uint64_t{blocks[first].offset} + static_cast<uint16_t>(blocks[first].length);
      while (last + 1 < blocks.size()) {
        const BlockRef& next = blocks[last + 1];
        if (next.length < 0 || next.offset < end || next.offset - end > kReadThroughGap) break;
        const uint64_t nextEnd = uint64_t{next.offset} + static_cast<uint16_t>(next.length);
        if (nextEnd - blocks[first].offset > kWriteChunk) break;
        end = nextEnd;
        ++last;
      }
      if (!copyRun(blocks, first, last, end)) return false;
      first = last + 1;
    }
    return flush();
  }

 private:
  bool copyRun(const std::vector<BlockRef>& blocks, size_t first, size_t last, uint64_t end) {
    const uint64_t start = blocks[first].offset;
    const size_t span = static_cast<size_t>(end - start);
    if (span == 0) return true;
    run_.resize(span);
    if (in_.readAt(start, run_.data(), span) != span) return false;
    for (size_t i = first; i <= last; ++i) {
      const char* data = run_.data() + (blocks[i].offset - start);
      const size_t length = static_cast<uint16_t>(blocks[i].length);
      if (pending_.size() + length > kWriteChunk && !flush()) return false;
      pending_.insert(pending_.end(), data, data + length);
    }
    return true;
  }

  bool flush() {
    if (!writeAll(out_, pending_.data(), pending_.size())) return false;
    pending_.clear();
    return true;
  }

  ReadOnlyFile& in_;
  int out_;
  std::vector<char> run_;
  std::vector<char> pending_;
};

}  // namespace

std::string messageFileName(const std::string& folder, int number, const std::string& extension,
                            int prefix) {
  if (prefix == -1) return folder + "/" + std::to_string(number) + "." + extension;
  return folder + "/" + std::to_string(prefix) + "_" + std::to_string(number) + "." + extension;
}

std::string previewFileName(const std::string& tempFolder, int readerIndex, int recordIndex) {
  return tempFolder + "/" + std::to_string(readerIndex) + "_" + std::to_string(recordIndex) +
         ".mht";
}

bool writeStoredBytes(const std::string& source, const BlockList& blocks,
                      const std::string& destination) {
  ReadOnlyFile in;
  return in.open(source) && writeStoredBytes(in, blocks, destination);
}

bool writeStoredBytes(ReadOnlyFile& in, const BlockList& blocks, const std::string& destination) {
  // A new file is written in place and removed again on failure; only a file that replaces
  // another goes through a temporary name, so the older one survives a failed write. A rename
  // for every file would cost more than the writing when a whole base is saved.
  std::string written = destination;
  int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0 && errno == EEXIST) {
    written = destination + ".XXXXXX";
    out = ::mkstemp(written.data());
  }
  if (out < 0) return false;
  bool sound;
  try {
    BlockCopier copier(in, out);
    sound = copier.copy(blocks.entries);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    sound = false;
  }
  if (::close(out) != 0) sound = false;
  if (sound && written != destination && std::rename(written.c_str(), destination.c_str()) != 0)
    sound = false;
  if (!sound) ::unlink(written.c_str());
  return sound;
}

int MessageBaseReader::writeMessageFile(const std::string& folder, int recordIndex,
                                        const std::string& extension, int prefix) const {
  if (recordIndex < 0 || recordIndex >= count()) return -1;
  const auto index = static_cast<size_t>(recordIndex);
  const std::string name = messageFileName(folder, records[index].number, extension, prefix);
  return writeStoredBytes(workingPath, blockLists[index], name) ? 0 : -1;
}

MessageExporter::MessageExporter(const MessageBaseReader& reader) : reader_(reader) {
  in_.open(reader.workingPath);
}

int MessageExporter::write(const std::string& folder, int recordIndex, const std::string& extension,
                           int prefix) {
  if (!in_.isOpen() || recordIndex < 0 || recordIndex >= reader_.count()) return -1;
  const auto index = static_cast<size_t>(recordIndex);
  const std::string name = messageFileName(folder, reader_.records[index].number, extension, prefix);
  return writeStoredBytes(in_, reader_.blockLists[index], name) ? 0 : -1;
}

bool writePreviewFile(const MessageBaseReader& reader, const std::string& tempFolder,
                      int readerIndex, int recordIndex, std::string& previewPath) {
  removeFilesWithExtension(tempFolder, ".mht");
  previewPath = previewFileName(tempFolder, readerIndex, recordIndex);
  if (recordIndex < 0 || recordIndex >= reader.count()) return false;
  return writeStoredBytes(reader.workingPath, reader.blockLists[static_cast<size_t>(recordIndex)],
                          previewPath);
}

int MessageBaseReader::copyMessageBase(const std::string& destinationFolder) {
  const std::string source = basePath();
  const std::string destination = destinationFolder + "/" + baseName;
  std::string error;
  std::error_code same;
  // Copying a base onto itself would replace the user's file; it is refused as the shell does.
  if (std::filesystem::equivalent(source, destination, same)) {
    error = source + " is the destination itself";
  } else if (copyFile(source, destination, error)) {
    return 0;
  }
  showMessageBox("Cannot copy dbx file\n" + error);
  ok = 0;
  return -1;
}

}  // namespace vireo

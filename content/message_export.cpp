#include "content/message_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <span>
#include <vector>

#include "platform/out_of_memory.h"
#include "platform/write_all.h"

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
  BlockCopier(ReadOnlyFile& in, int out, const std::string& destination)
      : in_(in), out_(out), destination_(destination) {}

  std::optional<FailureReason> copy(const std::vector<BlockRef>& blocks) {
    size_t first = 0;
    while (first < blocks.size()) {
      if (blocks[first].length < 0) return FailureReason{"a block of the message has no length", {}, blocks[first].offset, {}};
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
      if (auto failure = copyRun(blocks, first, last, end)) return failure;
      first = last + 1;
    }
    return flush();
  }

 private:
  std::optional<FailureReason> copyRun(const std::vector<BlockRef>& blocks, size_t first, size_t last, uint64_t end) {
    const uint64_t start = blocks[first].offset;
    const size_t length = static_cast<size_t>(end - start);
    if (length == 0) return std::nullopt;
    run_.resize(length);
    if (in_.readAt(start, run_.data(), length) != length)
      return FailureReason{"cannot read the message's blocks", {}, start,
                           in_.error().empty() ? "the working file ends before them" : in_.error()};
    const std::span<const char> run(run_);
    for (size_t i = first; i <= last; ++i) {
      const std::span<const char> data =
          run.subspan(blocks[i].offset - start, static_cast<uint16_t>(blocks[i].length));
      if (pending_.size() + data.size() > kWriteChunk)
        if (auto failure = flush()) return failure;
      pending_.insert(pending_.end(), data.begin(), data.end());
    }
    return std::nullopt;
  }

  std::optional<FailureReason> flush() {
    if (!writeAll(out_, pending_.data(), pending_.size()))
      return FailureReason{"cannot write", destination_, {}, systemErrorText(errno)};
    pending_.clear();
    return std::nullopt;
  }

  ReadOnlyFile& in_;
  int out_;
  const std::string& destination_;
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

std::optional<FailureReason> writeStoredBytes(ReadOnlyFile& in, const BlockList& blocks, const std::string& destination) {
  // A new file is written in place and removed again on failure; only a file that replaces
  // another goes through a temporary name, so the older one survives a failed write. A rename
  // for every file would cost more than the writing when a whole base is saved.
  std::string written = destination;
  int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0 && errno == EEXIST) {
    written = destination + ".XXXXXX";
    out = ::mkstemp(written.data());
  }
  if (out < 0) return FailureReason{"cannot create", written, {}, systemErrorText(errno)};
  std::optional<FailureReason> failure;
  try {
    BlockCopier copier(in, out, destination);
    failure = copier.copy(blocks.entries);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    failure = FailureReason{"out of memory while writing", destination, {}, {}};
  }
  if (::close(out) != 0 && !failure) failure = FailureReason{"cannot write", destination, {}, systemErrorText(errno)};
  if (!failure && written != destination && std::rename(written.c_str(), destination.c_str()) != 0)
    failure = FailureReason{"cannot replace", destination, {}, systemErrorText(errno)};
  if (failure) ::unlink(written.c_str());
  return failure;
}

MessageFileWriter::MessageFileWriter(const std::string& workingPath) : workingPath_(workingPath) {
  // A failure to open shows at the first write, which says why.
  (void)in_.open(workingPath_);
}

std::optional<FailureReason> MessageFileWriter::write(const MessageTable& table, int recordIndex,
                                                      const std::string& destination) {
  if (recordIndex < 0 || recordIndex >= table.count())
    return FailureReason{"no message " + std::to_string(recordIndex) + " in the table", {}, {}, {}};
  if (!in_.isOpen()) return FailureReason{"cannot open", workingPath_, {}, in_.error()};
  std::optional<FailureReason> failure = writeStoredBytes(in_, table.blocksOf(recordIndex), destination);
  // A block read fails with an offset of the working file; say which file that is.
  if (failure && failure->file.empty()) failure->file = workingPath_;
  return failure;
}

}  // namespace vireo

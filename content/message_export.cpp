#include "content/message_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <new>
#include <span>
#include <vector>

#include "content/message_envelope.h"
#include "platform/out_of_memory.h"

namespace vireo {
namespace {

// Bytes gathered before each write: a message of many small blocks costs few system calls, and a
// huge one never has to fit in memory whole.
constexpr size_t kWriteChunk = 1 << 20;
// Blocks of one chain usually lie one after another, apart by their 16-byte headers: a gap up to
// this size is read through rather than costing another read.
constexpr uint32_t kReadThroughGap = 64;
// Where a message's Date header is looked for when its file is dated: header sections are short.
constexpr size_t kDateSearchBytes = 64 * 1024;

using ChunkSink = std::function<std::optional<FailureReason>(const char* data, size_t length)>;

// Reads the blocks of one message in runs and hands the data on in chunks.
class BlockCopier {
 public:
  BlockCopier(ReadOnlyFile& in, ChunkSink out) : in_(in), out_(std::move(out)) {}

  std::optional<FailureReason> copy(BlockSpan blocks) {
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
  std::optional<FailureReason> copyRun(BlockSpan blocks, size_t first, size_t last, uint64_t end) {
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
    if (auto failure = out_(pending_.data(), pending_.size())) return failure;
    pending_.clear();
    return std::nullopt;
  }

  ReadOnlyFile& in_;
  ChunkSink out_;
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

std::optional<FailureReason> writeStoredBytes(ReadOnlyFile& in, BlockSpan blocks, const std::string& destination,
                                              PlacedFile* placed, ExistingName existing) {
  UserFileWriter out;
  if (auto failure = out.create(destination, existing)) return failure;
  std::optional<FailureReason> failure;
  std::string head;  // the message's first bytes, for its date
  try {
    BlockCopier copier(in, [&out, &head](const char* data, size_t length) {
      if (head.size() < kDateSearchBytes) head.append(data, std::min(length, kDateSearchBytes - head.size()));
      return out.write(data, length);
    });
    failure = copier.copy(blocks);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    failure = FailureReason{"out of memory while writing", destination, {}, {}};
  }
  if (failure) return failure;  // the writer removes its temporary
  // File managers sort saved mail by its modification time: give the file the message's date.
  // The rename keeps it; a file that cannot take it keeps the time of writing.
  if (const std::optional<int64_t> date = messageDateSeconds(head)) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*date), 0}};
    (void)::futimens(out.descriptor(), times);
  }
  PlacedFile where;
  if ((failure = out.place(where))) return failure;
  if (placed) *placed = where;
  return std::nullopt;
}

std::optional<FailureReason> readStoredBytes(ReadOnlyFile& in, BlockSpan blocks, std::string& message) {
  message.clear();
  try {
    BlockCopier copier(in, [&message](const char* data, size_t length) {
      message.append(data, length);
      return std::optional<FailureReason>();
    });
    return copier.copy(blocks);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    message.clear();
    return FailureReason{"out of memory while reading a message", {}, {}, {}};
  }
}

MessageFileWriter::MessageFileWriter(const std::string& workingPath) : workingPath_(workingPath) {
  // A failure to open shows at the first write, which says why.
  (void)in_.open(workingPath_);
}

std::optional<FailureReason> MessageFileWriter::write(const MessageTable& table, int recordIndex,
                                                      const std::string& destination, PlacedFile* placed,
                                                      ExistingName existing) {
  if (recordIndex < 0 || recordIndex >= table.count())
    return FailureReason{"no message " + std::to_string(recordIndex) + " in the table", {}, {}, {}};
  if (!in_.isOpen()) return FailureReason{"cannot open", workingPath_, {}, in_.error()};
  std::optional<FailureReason> failure = writeStoredBytes(in_, table.blocksOf(recordIndex), destination, placed, existing);
  // A block read fails with an offset of the working file; say which file that is.
  if (failure && failure->file.empty()) failure->file = workingPath_;
  return failure;
}

}  // namespace vireo

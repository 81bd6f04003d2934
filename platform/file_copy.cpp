#include "platform/file_copy.h"

#include <vector>

#include "platform/read_only_file.h"

namespace vireo {

std::optional<FailureReason> copyFile(const std::string& source, const std::string& destination,
                                      const CopyOptions& options, PlacedFile* placed) {
  ReadOnlyFile in;
  if (!in.open(source)) return FailureReason{"cannot open", source, {}, in.error()};
  UserFileWriter out;
  if (auto failure = out.create(destination, options.existing)) return failure;
  std::vector<char> buffer(1 << 20);
  uint64_t offset = 0;
  while (offset < in.size()) {
    const size_t got = in.readAt(offset, buffer.data(), buffer.size());
    if (got == 0) return FailureReason{"cannot read", source, offset, in.error().empty() ? "the file shrank" : in.error()};
    if (auto failure = out.write(buffer.data(), got)) return failure;
    offset += got;
    if (options.progress && !options.progress(offset, in.size()))
      return FailureReason{std::string(kCopyStopped), destination, {}, {}};
  }
  PlacedFile where;
  // A copy is one large file that the user may unplug the disk after: it is flushed first.
  if (auto failure = out.place(where, true)) return failure;
  if (placed) *placed = where;
  return std::nullopt;
}

}  // namespace vireo

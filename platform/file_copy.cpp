#include "platform/file_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/read_only_file.h"
#include "platform/write_all.h"

namespace vireo {

std::optional<FailureReason> copyFile(const std::string& source, const std::string& destination) {
  ReadOnlyFile in;
  if (!in.open(source)) return FailureReason{"cannot open", source, {}, in.error()};
  const std::string temporary = destination + ".partial";
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) return FailureReason{"cannot create", temporary, {}, systemErrorText(errno)};
  std::optional<FailureReason> failure;
  std::vector<char> buffer(1 << 20);
  uint64_t offset = 0;
  while (offset < in.size()) {
    const size_t got = in.readAt(offset, buffer.data(), buffer.size());
    if (got == 0) {
      failure = FailureReason{"cannot read", source, offset, in.error().empty() ? "the file shrank" : in.error()};
      break;
    }
    if (!writeAll(out, buffer.data(), got)) {
      failure = FailureReason{"cannot write", temporary, {}, systemErrorText(errno)};
      break;
    }
    offset += got;
  }
  if (!failure && ::fsync(out) != 0) failure = FailureReason{"cannot write", temporary, {}, systemErrorText(errno)};
  if (::close(out) != 0 && !failure) failure = FailureReason{"cannot write", temporary, {}, systemErrorText(errno)};
  if (!failure && std::rename(temporary.c_str(), destination.c_str()) != 0)
    failure = FailureReason{"cannot replace", destination, {}, systemErrorText(errno)};
  if (failure) std::remove(temporary.c_str());
  return failure;
}

}  // namespace vireo

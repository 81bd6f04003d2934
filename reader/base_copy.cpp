#include "reader/base_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/read_only_file.h"
#include "platform/write_all.h"

namespace vireo {
namespace {

// Dirty pages are pushed to the disk in steps of this size, and the step before waited for, so
// a slow disk (a USB stick) shows its real speed on the bar, a stop is quick, and the final
// fsync does not wait minutes for a page cache full of the copy.
constexpr uint64_t kWriteOutStep = uint64_t{16} << 20;
constexpr uint32_t kProgressRange = 1000;

// Starts writing out [start, start + length) and waits for the step before it; false on an
// error of the disk (file systems without the call, tmpfs among them, report nothing).
bool writeOut(int fd, uint64_t start, uint64_t length) {
  const auto range = [fd](uint64_t from, uint64_t count, unsigned flags) {
    if (::sync_file_range(fd, static_cast<off64_t>(from), static_cast<off64_t>(count), flags) == 0) return true;
    return errno == EINVAL || errno == ESPIPE || errno == ENOSYS;
  };
  if (!range(start, length, SYNC_FILE_RANGE_WRITE)) return false;
  if (start < kWriteOutStep) return true;
  return range(start - kWriteOutStep, kWriteOutStep,
               SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}

// Copies up to length bytes at offset inside the kernel (no pass through this process's memory,
// a shared extent on file systems that can); 0 when it cannot here, and the caller reads and
// writes instead.
size_t kernelCopy(int in, int out, uint64_t offset, size_t length) {
  auto from = static_cast<off64_t>(offset);
  auto to = static_cast<off64_t>(offset);
  const ssize_t copied = ::copy_file_range(in, &from, out, &to, length, 0);
  return copied > 0 ? static_cast<size_t>(copied) : 0;
}

}  // namespace

std::optional<uint64_t> freeSpaceOf(const std::string& folder) {
  struct statvfs space {};
  if (::statvfs(folder.c_str(), &space) != 0) return std::nullopt;
  return uint64_t{space.f_bavail} * uint64_t{space.f_frsize};
}

std::string byteCountText(uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  double value = static_cast<double>(bytes) / 1000;
  size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  return text;
}

std::optional<FailureReason> baseCopyRefusal(const std::string& source, const std::string& folder,
                                             const std::string& destination, const FreeSpaceQuery& freeSpace) {
  ReadOnlyFile in;
  // Another folder would not help; the copy itself says why the base cannot be read.
  if (!in.open(source)) return std::nullopt;
  std::error_code same;
  // Copying a base onto itself would replace the user's file; it is refused as the shell does.
  if (std::filesystem::equivalent(source, destination, same))
    return FailureReason{"the destination is the base itself", source, {}, {}};
  // The copy is written whole beside a file it replaces, so that file's room does not count.
  const std::optional<uint64_t> available = freeSpace ? freeSpace(folder) : std::nullopt;
  if (available && *available < in.size())
    return FailureReason{"not enough free space in", folder, {},
                         "the copy needs " + byteCountText(in.size()) + " and only " + byteCountText(*available) +
                             " are free"};
  return std::nullopt;
}

BaseCopyOutcome copyBaseFile(const std::string& source, const std::string& destination,
                             const dbx::OperationControl& control) {
  BaseCopyOutcome outcome;
  ReadOnlyFile in;
  if (!in.open(source)) {
    outcome.reason = FailureReason{"cannot open", source, {}, in.error()};
    return outcome;
  }
  UserFileWriter writer;
  if (std::optional<FailureReason> refused = writer.create(destination)) {
    outcome.reason = *refused;
    return outcome;
  }
  const int out = writer.descriptor();
  ProgressSink& bar = control.bar();
  bar.setRange(kProgressRange);
  bar.setPos(0);
  const uint64_t size = in.size();
  std::optional<FailureReason> failure;
  bool stopped = false;
  std::vector<char> buffer(kBaseCopyChunk);
  uint64_t offset = 0;
  uint64_t writtenOut = 0;
  bool inKernel = true;
  while (offset < size) {
    if (control.stopRequested()) {
      stopped = true;
      break;
    }
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kBaseCopyChunk, size - offset));
    size_t got = inKernel ? kernelCopy(in.descriptor(), out, offset, wanted) : 0;
    // Once the kernel cannot (another file system, an error), the bytes pass through here, and a
    // failure then says which side it was.
    if (got == 0) {
      inKernel = false;
      got = in.readAt(offset, buffer.data(), wanted);
      if (got == 0) {
        failure = FailureReason{"cannot read", source, offset, in.error().empty() ? "the file shrank" : in.error()};
        break;
      }
      if (::lseek(out, static_cast<off_t>(offset), SEEK_SET) < 0 || !writeAll(out, buffer.data(), got)) {
        failure = FailureReason{"cannot write", destination, {}, systemErrorText(errno)};
        break;
      }
    }
    offset += got;
    if (offset - writtenOut >= kWriteOutStep) {
      if (!writeOut(out, writtenOut, offset - writtenOut)) {
        failure = FailureReason{"cannot write", destination, {}, systemErrorText(errno)};
        break;
      }
      writtenOut = offset;
    }
    bar.setPos(static_cast<uint32_t>(offset * kProgressRange / size));
  }
  if (!failure && !stopped) failure = writer.place(outcome.placed, true);
  if (failure || stopped) {
    writer.discard();
    outcome.end = stopped ? BaseCopyOutcome::End::stopped : BaseCopyOutcome::End::failed;
    if (failure) outcome.reason = *failure;
    return outcome;
  }
  outcome.end = BaseCopyOutcome::End::copied;
  return outcome;
}

}  // namespace vireo

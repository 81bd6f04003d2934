#include "platform/user_file_writer.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/write_all.h"

namespace vireo {
namespace {

constexpr std::string_view kTemporaryMark = ".vireo-";
constexpr size_t kRandomLength = 6;
constexpr size_t kMaxNameLength = 255;  // NAME_MAX of the usual file systems
constexpr int kCreateAttempts = 100;
// Numbered names tried before giving up: far more saves of one folder than anyone makes.
constexpr int kMaxNumber = 10000;

std::string randomPart() {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomLength];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Only uniqueness matters (O_EXCL guards the rest): a counter and the clock will do.
    static std::atomic<uint64_t> counter{0};
    uint64_t mixed = counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL ^
                     static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                     static_cast<uint64_t>(::getpid()) << 32;
    for (unsigned char& byte : bytes) {
      byte = static_cast<unsigned char>(mixed);
      mixed = mixed >> 8 | mixed << 56;
    }
  }
  std::string part;
  for (const unsigned char byte : bytes) part += kAlphabet[byte % (sizeof kAlphabet - 1)];
  return part;
}

// ".<name>.vireo-XXXXXX" beside path; the name is shortened when the whole would be too long.
std::string temporaryName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t room = kMaxNameLength - 1 - kTemporaryMark.size() - kRandomLength;
  if (name.size() > room) name.resize(room);
  return folder + "." + name + std::string(kTemporaryMark) + randomPart();
}

// Whether the two open files hold the same bytes.
bool sameBytes(int a, int b) {
  struct stat sa {}, sb {};
  if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0 || sa.st_size != sb.st_size) return false;
  std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
  for (off_t offset = 0; offset < sa.st_size;) {
    const ssize_t gotA = ::pread(a, bufferA.data(), bufferA.size(), offset);
    if (gotA <= 0) return false;
    ssize_t gotB = 0;
    while (gotB < gotA) {
      const ssize_t got = ::pread(b, bufferB.data() + gotB, static_cast<size_t>(gotA - gotB), offset + gotB);
      if (got <= 0) return false;
      gotB += got;
    }
    if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<size_t>(gotA)) != 0) return false;
    offset += gotA;
  }
  return true;
}

enum class AtName { free, same, other, error };

// What the name holds compared with the temporary. A link, a folder or anything else that is not
// a regular file counts as other content: it is kept, never followed or replaced.
AtName lookAt(const std::string& name, const std::string& temporary) {
  const int existing = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (existing < 0) {
    if (errno == ENOENT) return AtName::free;
    if (errno == ELOOP || errno == EACCES || errno == EPERM || errno == ENXIO || errno == EWOULDBLOCK)
      return AtName::other;
    return AtName::error;
  }
  struct stat info {};
  AtName result = AtName::other;
  if (::fstat(existing, &info) == 0 && S_ISREG(info.st_mode)) {
    const int ours = ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (ours >= 0) {
      if (sameBytes(ours, existing)) result = AtName::same;
      ::close(ours);
    }
  }
  ::close(existing);
  return result;
}

// A rename that fails with EEXIST rather than replace the name. Where the file system has no
// such rename, a hard link (which never replaces either) and the removal of the old name; where
// it has no links either, a plain rename after the look that found the name free.
int renameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return -1;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) return -1;
  return std::rename(from.c_str(), to.c_str());
}

}  // namespace

std::string numberedFileName(const std::string& path, int number) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  // A leading dot belongs to the name, not to an extension.
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  return path.substr(0, dot) + " (" + std::to_string(number) + ")" + path.substr(dot);
}

bool isTemporaryFileName(const std::string& name) {
  const size_t tail = kTemporaryMark.size() + kRandomLength;
  return name.size() > tail + 1 && name[0] == '.' &&
         name.compare(name.size() - tail, kTemporaryMark.size(), kTemporaryMark) == 0;
}

UserFileWriter::~UserFileWriter() { discard(); }

std::optional<FailureReason> UserFileWriter::fail(const char* what, const std::string& file, int error) {
  FailureReason reason{what, file, {}, systemErrorText(error)};
  discard();
  return reason;
}

std::optional<FailureReason> UserFileWriter::create(const std::string& destination, ExistingName existing) {
  discard();
  destination_ = destination;
  existing_ = existing;
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    temporary_ = temporaryName(destination);
    // 0666: the user's umask decides, as for any file the user makes.
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) return std::nullopt;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  temporary_.clear();
  return FailureReason{"cannot create", destination, {}, systemErrorText(error)};
}

std::optional<FailureReason> UserFileWriter::write(const void* data, size_t length) {
  if (fd_ < 0) return FailureReason{"cannot write", destination_, {}, "the file is not open"};
  if (!writeAll(fd_, data, length)) return fail("cannot write", destination_, errno);
  return std::nullopt;
}

std::optional<FailureReason> UserFileWriter::place(PlacedFile& placed, bool sync) {
  if (fd_ < 0) return FailureReason{"cannot write", destination_, {}, "the file is not open"};
  if (sync && ::fsync(fd_) != 0) return fail("cannot write", destination_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return fail("cannot write", destination_, errno);
  if (existing_ == ExistingName::keepBoth) return placeKeepingBoth(placed);
  struct stat info {};
  const bool taken = ::lstat(destination_.c_str(), &info) == 0;
  if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) return fail("cannot replace", destination_, errno);
  temporary_.clear();
  placed = PlacedFile{destination_, taken ? Placement::replaced : Placement::created};
  return std::nullopt;
}

std::optional<FailureReason> UserFileWriter::placeKeepingBoth(PlacedFile& placed) {
  for (int number = 1; number <= kMaxNumber; ++number) {
    const std::string name = number == 1 ? destination_ : numberedFileName(destination_, number);
    // A name another writer takes between the look and the rename is looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      const AtName found = lookAt(name, temporary_);
      if (found == AtName::error) return fail("cannot create", name, errno);
      if (found == AtName::same) {
        discard();
        placed = PlacedFile{name, Placement::identical};
        return std::nullopt;
      }
      if (found == AtName::other) break;
      if (renameNoReplace(temporary_, name) == 0) {
        temporary_.clear();
        placed = PlacedFile{name, number == 1 ? Placement::created : Placement::keptBeside};
        return std::nullopt;
      }
      if (errno != EEXIST) return fail("cannot create", name, errno);
    }
  }
  FailureReason reason{"too many files of the same name beside", destination_, {}, {}};
  discard();
  return reason;
}

void UserFileWriter::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace vireo

#include "platform/file_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/read_only_file.h"
#include "platform/write_all.h"

namespace vireo {
namespace {


}  // namespace

bool copyFile(const std::string& source, const std::string& destination, std::string& error) {
  ReadOnlyFile in;
  if (!in.open(source)) {
    error = "cannot open " + source + ": " + in.error();
    return false;
  }
  const std::string temporary = destination + ".partial";
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(1 << 20);
  uint64_t offset = 0;
  bool sound = true;
  while (offset < in.size()) {
    const size_t got = in.readAt(offset, buffer.data(), buffer.size());
    if (got == 0) {
      error = "cannot read " + source + ": " + (in.error().empty() ? "file shrank" : in.error());
      sound = false;
      break;
    }
    if (!writeAll(out, buffer.data(), got)) {
      error = "cannot write " + temporary + ": " + std::strerror(errno);
      sound = false;
      break;
    }
    offset += got;
  }
  if (sound && ::fsync(out) != 0) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    sound = false;
  }
  if (::close(out) != 0 && sound) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    sound = false;
  }
  if (sound && std::rename(temporary.c_str(), destination.c_str()) != 0) {
    error = "cannot replace " + destination + ": " + std::strerror(errno);
    sound = false;
  }
  if (!sound) std::remove(temporary.c_str());
  return sound;
}

}  // namespace vireo

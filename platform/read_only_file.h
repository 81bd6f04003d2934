#pragma once
// A file opened for reading only. The user's base must never be written, not even its access
// time, so it is opened with O_NOATIME where the kernel allows it. Opening refuses anything that
// is not a regular file, so a FIFO or a device named like a base cannot hang or flood a read.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vireo {

struct PieceMap;

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Which files open() takes. Disk images may be whole block devices; bases never are.
  enum class Accept { regularFiles, regularFilesAndBlockDevices };

  // False on failure; error() then says why (strerror text or "not a regular file"). A path
  // registered as a PieceMappedFile opens its source and reads through the map.
  [[nodiscard]] bool open(const std::string& path, Accept accept = Accept::regularFiles);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // For the kernel's own copy (copy_file_range) and read advice; reads only. -1 for a mapped
  // file, whose offsets are not its source's.
  int descriptor() const { return map_ ? -1 : fd_; }
  uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }

  // Reads up to length bytes at offset; returns the count read (short at the end of the file or
  // on a read error, which is then kept in error()).
  [[nodiscard]] size_t readAt(uint64_t offset, void* buffer, size_t length);

 private:
  bool openOnDisk(const std::string& path, Accept accept);
  size_t readMapped(uint64_t offset, char* out, size_t length);
  size_t readSource(uint64_t offset, char* out, size_t length);

  int fd_ = -1;
  uint64_t size_ = 0;
  std::shared_ptr<const PieceMap> map_;
  std::string error_;
};

}  // namespace vireo

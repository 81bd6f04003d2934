#pragma once
// A file that exists only as a map onto pieces of another: a base found scattered in a disk
// image, read in place. While a PieceMappedFile lives, ReadOnlyFile::open of its path opens the
// source instead and reads through the map, so every reader of bases (recovery, message reading,
// export, preview) reads the base without it ever being copied out of the image. Bytes no piece
// covers, or that the source cannot give, read as zeros, exactly as the holes of a sparse copy.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vireo {

struct MappedPiece {
  uint64_t offset = 0;        // where it lies in the mapped file
  uint64_t sourceOffset = 0;  // where its bytes lie in the source
  uint64_t length = 0;
};

struct PieceMap {
  std::string source;               // a regular file or a block device, only ever read
  uint64_t size = 0;                // of the mapped file
  std::vector<MappedPiece> pieces;  // ascending offset, not overlapping
};

// Registers map under path for as long as it lives, unless something already has that name: a
// file on disk or another map (registered() then says false and nothing changes).
class PieceMappedFile {
 public:
  PieceMappedFile(std::string path, PieceMap map);
  ~PieceMappedFile();
  PieceMappedFile(const PieceMappedFile&) = delete;
  PieceMappedFile& operator=(const PieceMappedFile&) = delete;
  const std::string& path() const { return path_; }
  bool registered() const { return registered_; }

 private:
  std::string path_;
  bool registered_ = false;
};

// The map registered under path, or null. Safe from any thread.
std::shared_ptr<const PieceMap> findPieceMap(const std::string& path);

}  // namespace vireo

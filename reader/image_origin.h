#pragma once
// Where a base that was found in a disk image came from: the window lists it under the image, and
// names it by where it lay there, since its file in the working folder means nothing to a user.
#include <cstdint>
#include <string>

namespace vireo {

struct ImageOrigin {
  std::string imagePath;   // as given, bytes
  int imageNumber = 0;     // the how-manieth image opened in this run: two openings stay apart
  int baseNumber = 0;      // 1, 2, ... in the order of the bases' first pieces in the image
  int64_t origin = 0;      // image offset where the base's offset 0 lies (or would)
  uint64_t firstPiece = 0; // image offset of its first piece
  int pieces = 0;
  bool headerSurvived = false;
};

}  // namespace vireo

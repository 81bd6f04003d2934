#pragma once
// A disk image for carving tests: clusters of random bytes, zeros and text, with the clusters of
// written bases copied in wherever a test puts them (whole, out of order, interleaved, cut short).
// The image records where each base's clusters went, so a test knows which messages survive.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/dbx_writer.h"

namespace vireo::testing {

struct PlacedRun {
  uint64_t imageOffset = 0;
  uint64_t baseOffset = 0;
  uint64_t length = 0;
};

class DiskImage {
 public:
  // clusters of clusterSize bytes, filled with random, zero and text clusters in turn (seeded).
  DiskImage(size_t clusters, uint32_t clusterSize = 4096, uint32_t seed = 1);

  uint32_t clusterSize() const { return clusterSize_; }
  size_t clusterCount() const { return bytes.size() / clusterSize_; }
  // The number of clusters a base of this size takes.
  size_t clustersOf(const DbxImage& base) const;

  // Copies clusters [fromCluster, fromCluster + count) of base to the image from imageCluster on,
  // and records the run under baseId. The last cluster of a base keeps the filler past its end,
  // as the slack of a real file's last cluster does.
  void place(int baseId, const DbxImage& base, size_t fromCluster, size_t count, size_t imageCluster);
  // Fills clusters with new filler, as a file written later over them would.
  void overwrite(size_t imageCluster, size_t count);

  // The runs of one base, in the order they were placed.
  std::vector<PlacedRun> runsOf(int baseId) const;
  // Whether every byte of base range [offset, offset + length) lies in the image as placed and
  // was not overwritten since.
  bool survives(int baseId, uint64_t offset, uint64_t length) const;
  // Whether all blocks of a written message survive.
  bool messageSurvives(int baseId, const WrittenMessage& message, const DbxImage& base) const;

  void save(const std::string& path) const;  // throws std::runtime_error on failure

  std::vector<uint8_t> bytes;

 private:
  struct Owned {
    int baseId = -1;  // -1: filler
    uint64_t baseCluster = 0;
  };
  void fill(size_t cluster);

  uint32_t clusterSize_;
  uint32_t random_;
  std::vector<Owned> owners_;
  std::vector<std::pair<int, PlacedRun>> runs_;
};

// The cases users meet, each an image with its bases and what became of them.
enum class CarveCase {
  whole,             // one base in one run
  threePieces,       // three pieces, stored out of order with other data between
  headerOverwritten, // header and index clusters overwritten
  cutShort,          // only the first 60% of its clusters
  interleaved,       // two bases whose pieces alternate
  oldCopy,           // the base, and an older copy of it elsewhere
};

struct CarveScenario {
  DiskImage image{0};
  std::vector<DbxImage> bases;
  std::vector<std::vector<WrittenMessage>> messages;  // per base
  std::vector<std::vector<std::string>> texts;         // per base, the stored bytes
  // Messages of every base whose blocks all survive in the image.
  size_t survivingMessages() const;
};

// messagesPerBase messages of varied sizes (a few blocks each, some large); seed varies texts.
CarveScenario buildCarveScenario(CarveCase which, int messagesPerBase = 60, uint32_t seed = 7);

}  // namespace vireo::testing

// Carving a disk image of 1 GiB (by default; the first argument in MiB), as ratios to one
// sequential read of the same image: the pass that finds the bases, and the whole carve with
// each base's recovery. Two bases of realistic messages lie in it in 1 MiB pieces, shuffled,
// between clusters of random bytes, zeros and text. Beside each wall time, the processor time
// (user and system, all threads) of the process, and the load average: the machine may be shared.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "dbx/image_carve.h"
#include "reader/image_carve_run.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace {

using namespace vireo;
constexpr size_t kPiece = size_t{1} << 20;

// The median wall time of runs, and the processor time of one run on average.
template <class F>
std::pair<double, double> timed(int runs, F&& body) {
  const double cpu = bench::processCpuSeconds();
  const double wall = bench::medianSeconds(runs, body);
  return {wall, (bench::processCpuSeconds() - cpu) / runs};
}

void printLoad() {
  double load[3] = {};
  if (::getloadavg(load, 3) == 3) std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

void fillPiece(std::vector<char>& piece, std::mt19937& random) {
  switch (random() % 3) {
    case 0:
      for (char& c : piece) c = static_cast<char>(random());
      break;
    case 1:
      std::fill(piece.begin(), piece.end(), 0);
      break;
    default:
      for (size_t i = 0; i < piece.size(); ++i) piece[i] = "Meeting notes, nothing else to say.\r\n"[i % 37];
  }
}

// Returns the number of messages in the bases written into it.
int writeImage(const std::string& path, uint64_t imageBytes) {
  int messages = 0, second = 0;
  const std::vector<testing::DbxImage> bases{bench::recoveryBase(imageBytes / 10, messages),
                                             bench::recoveryBase(imageBytes / 12, second, 43)};
  messages += second;
  struct Piece {
    int base;
    size_t offset;
  };
  std::vector<Piece> pieces;
  for (int b = 0; b < 2; ++b)
    for (size_t at = 0; at < bases[static_cast<size_t>(b)].bytes.size(); at += kPiece) pieces.push_back({b, at});
  const size_t slots = static_cast<size_t>(imageBytes / kPiece);
  std::vector<int> order(slots, -1);
  std::mt19937 random(3);
  std::vector<size_t> free(slots);
  for (size_t s = 0; s < slots; ++s) free[s] = s;
  std::shuffle(free.begin(), free.end(), random);
  for (size_t p = 0; p < pieces.size() && p < slots; ++p) order[free[p]] = static_cast<int>(p);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> piece(kPiece);
  for (size_t s = 0; s < slots; ++s) {
    fillPiece(piece, random);
    if (order[s] >= 0) {
      const Piece& p = pieces[static_cast<size_t>(order[s])];
      const std::vector<uint8_t>& bytes = bases[static_cast<size_t>(p.base)].bytes;
      std::memcpy(piece.data(), bytes.data() + p.offset, std::min(kPiece, bytes.size() - p.offset));
    }
    out.write(piece.data(), static_cast<std::streamsize>(kPiece));
  }
  return messages;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t imageBytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024) << 20;
  testing::ScratchDir folder;
  // A second argument keeps the image there, to look at with vireo-cli carve.
  const std::string path = argc > 2 ? std::string(argv[2]) : folder.file("disk.img");
  const int messages = writeImage(path, imageBytes);
  std::printf("image: %.0f MiB, two bases of %d messages in 1 MiB pieces\n", static_cast<double>(imageBytes) / (1 << 20),
              messages);

  bench::sequentialReadSeconds(path);  // warm the page cache for every measurement
  printLoad();
  const auto [read, readCpu] = timed(3, [&] { bench::sequentialReadSeconds(path); });
  std::printf("sequential read: %.3f s (CPU %.3f s), %.2f GB/s\n", read, readCpu,
              static_cast<double>(imageBytes) / read / 1e9);

  size_t found = 0;
  const auto [find, findCpu] = timed(3, [&] {
    std::vector<dbx::FoundBase> bases;
    (void)dbx::findBases(path, bases, {});
    found = bases.size();
  });
  std::printf("finding the bases: %.3f s (CPU %.3f s), %.2f x the read (%zu bases)\n", find, findCpu, find / read,
              found);

  int recovered = 0;
  const auto [whole, wholeCpu] = timed(3, [&] {
    testing::ScratchDir work;
    const ImageCarve carve = carveImage(path, work.path(), nullptr, nullptr);
    recovered = 0;
    for (const auto& base : carve.bases) recovered += base->reader.validCount;
  });
  std::printf("carve with recovery: %.3f s (CPU %.3f s), %.2f x the read (%d of %d messages)\n", whole, wholeCpu,
              whole / read, recovered, messages);
  printLoad();
  // What a user carving a disk sees: the image is not in memory.
  bench::printColdRatio(path, "finding the bases", [&] {
    std::vector<dbx::FoundBase> bases;
    (void)dbx::findBases(path, bases, {});
  });
  bench::printColdRatio(path, "carve with recovery", [&] {
    testing::ScratchDir work;
    (void)carveImage(path, work.path(), nullptr, nullptr);
  });
  return 0;
}

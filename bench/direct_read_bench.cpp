// Reading a file through the page cache with pread against reading it with O_DIRECT (no page
// cache), in the 1 MiB pieces the base reading uses, warm and cold. The base reading keeps
// buffered pread unless the other wins by more than 10%.
// direct_read_bench [MiB [PATH]]: PATH to measure an existing file on another device instead.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace {

constexpr size_t kPiece = 1 << 20;
constexpr size_t kAlignment = 4096;

struct Run {
  double seconds = 0;
  double cpu = 0;
  uint64_t bytes = 0;
};

// Reads the whole file front to back; direct opens it with O_DIRECT (the buffer and the pieces
// aligned as it requires).
Run readAll(const std::string& path, bool direct) {
  Run run;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (direct ? O_DIRECT : 0));
  if (fd < 0) return run;
  if (!direct) (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  void* raw = nullptr;
  if (::posix_memalign(&raw, kAlignment, kPiece) != 0) {
    ::close(fd);
    return run;
  }
  std::unique_ptr<void, decltype(&std::free)> buffer(raw, &std::free);
  const double cpuStart = vireo::bench::processCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  volatile uint8_t sink = 0;
  for (;;) {
    const ssize_t got = ::pread(fd, buffer.get(), kPiece, static_cast<off_t>(run.bytes));
    if (got <= 0) break;
    run.bytes += static_cast<uint64_t>(got);
    sink = sink + static_cast<const uint8_t*>(buffer.get())[got - 1];
    if (static_cast<size_t>(got) < kPiece) break;
  }
  run.seconds = vireo::bench::secondsSince(start);
  run.cpu = vireo::bench::processCpuSeconds() - cpuStart;
  ::close(fd);
  return run;
}

Run median(int runs, bool cold, const std::string& path, bool direct) {
  std::vector<Run> all;
  for (int r = 0; r < runs; ++r) {
    if (cold && !vireo::bench::dropPageCache()) return {};
    all.push_back(readAll(path, direct));
  }
  std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  return all[all.size() / 2];
}

void print(const char* what, const Run& buffered, const Run& direct) {
  if (buffered.seconds <= 0 || direct.seconds <= 0) {
    std::printf("%s: not measured (the cache cannot be dropped, or O_DIRECT is refused here)\n", what);
    return;
  }
  std::printf("%s: pread %.3f s (CPU %.3f s), O_DIRECT %.3f s (CPU %.3f s): O_DIRECT / pread = %.2f\n", what,
              buffered.seconds, buffered.cpu, direct.seconds, direct.cpu, direct.seconds / buffered.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
  vireo::testing::ScratchDir folder;
  std::string path = argc > 2 ? argv[2] : folder.file("direct.bin");
  if (argc <= 2) {
    std::mt19937_64 random(5);
    std::vector<uint64_t> piece(kPiece / sizeof(uint64_t));
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    for (uint64_t m = 0; m < mib; ++m) {
      for (uint64_t& word : piece) word = random();
      std::fwrite(piece.data(), 1, kPiece, out);
    }
    std::fclose(out);
  }
  readAll(path, false);  // warm
  std::printf("file: %.1f MiB, pieces of 1 MiB\n", static_cast<double>(readAll(path, false).bytes) / (1 << 20));
  // O_DIRECT never uses the page cache: its warm figure is the disk's.
  print("warm", median(5, false, path, false), median(5, false, path, true));
  print("cold", median(3, true, path, false), median(3, true, path, true));
  return 0;
}

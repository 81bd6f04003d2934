// Recovery of a 512 MiB base, as ratios to one sequential read of the same file: the candidate
// scan alone (with each version of the self-offset search), and the whole recovery.
// recover_bench [MIB [PATH]]: with PATH, only writes the base there.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "dbx/base_file.h"
#include "dbx/candidate_scan.h"
#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "dbx/recovered_marks.h"
#include "dbx/recover_scan.h"
#include "dbx/scan_candidates.h"
#include "dbx/self_offset_search.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace {

using namespace vireo;
using Search = void (*)(const uint8_t*, size_t, uint32_t, std::vector<uint32_t>&);

// The scan's chunking with a chosen search version, to compare the versions on the same file.
size_t scanWith(const std::string& path, Search search) {
  dbx::BaseFile file;
  if (!file.open(path)) return 0;
  auto buffer = std::make_unique<uint8_t[]>(dbx::kScanChunkSize);
  dbx::CandidateArray candidates;
  std::vector<uint32_t> hits;
  uint64_t start = 0;
  for (;;) {
    const size_t read = file.readSome(start, buffer.get(), dbx::kScanChunkSize);
    if (read <= dbx::kScanChunkOverlap) break;
    hits.clear();
    search(buffer.get(), read - dbx::kScanChunkOverlap, static_cast<uint32_t>(start), hits);
    for (uint32_t offset : hits) candidates.append(offset);
    if (read != dbx::kScanChunkSize) break;
    start += read - dbx::kScanChunkOverlap;
  }
  return candidates.size();
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t targetBytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512) << 20;
  testing::ScratchDir folder;  // under $TMPDIR or /tmp, removed with the file at the end
  const std::string path = folder.file("recover.dbx");
  int messages = 0;
  bench::recoveryBase(targetBytes, messages).save(path);
  if (argc > 2) {  // only write the base, for profiling a recovery on its own
    std::filesystem::copy_file(path, argv[2], std::filesystem::copy_options::overwrite_existing);
    return 0;
  }
  const auto size = std::filesystem::file_size(path);
  std::printf("base: %d messages, %.1f MiB\n", messages, static_cast<double>(size) / (1 << 20));

  bench::sequentialReadSeconds(path);  // warm the page cache for every measurement
  const double read = bench::medianSeconds(5, [&] { bench::sequentialReadSeconds(path); });
  std::printf("sequential read (1,000,000-byte chunks): %.3f s, %.2f GB/s\n", read, static_cast<double>(size) / read / 1e9);

  struct Version {
    const char* name;
    Search search;
  };
  std::vector<Version> versions = {{"scalar", dbx::findSelfOffsetsScalar}, {"sse2", dbx::findSelfOffsetsSse2}};
  if (dbx::avx2Available()) versions.push_back({"avx2", dbx::findSelfOffsetsAvx2});
  if (dbx::avx512Available()) versions.push_back({"avx512", dbx::findSelfOffsetsAvx512});
  size_t expected = 0;
  bool agree = true;
  for (const Version& v : versions) {
    size_t found = 0;
    const double seconds = bench::medianSeconds(3, [&] { found = scanWith(path, v.search); });
    if (expected == 0) expected = found;
    agree = agree && found == expected;
    std::printf("scan, %-6s: %.3f s, %zu candidates, throughput / read = %.2f\n", v.name, seconds, found,
                read / seconds);
  }

  size_t candidates = 0;
  const double scan = bench::medianSeconds(3, [&] {
    dbx::BaseFile file;
    if (file.open(path)) candidates = dbx::collectCandidates(file, {}).size();
  });
  std::printf("phase 1 as shipped (collectCandidates): %.3f s, throughput / read = %.2f (target: at least 0.8)\n",
              scan, read / scan);

  const double scanAndJoin = bench::medianSeconds(3, [&] {
    MessageTable table;
    (void)dbx::recoverScan(path, table, {});
  });
  std::printf("recoverScan (scan and joining): %.3f s, joining alone about %.3f s\n", scanAndJoin, scanAndJoin - scan);

  int records = 0;
  int valid = 0;
  const bench::OpenAgainstCat recovering = bench::openAgainstCat(path, 5, [&] {
    auto reader = bench::openedBase(folder.path(), "recover.dbx", true);
    records = reader->count();
    valid = reader->validCount;
    return reader;
  });
  const double cat = recovering.cat;
  const double recovery = recovering.open;
  std::printf("whole recovery (scan, joining, reading, marks): %.3f s, %d records, %d valid\n", recovery, records,
              valid);
  std::printf("  CPU time (user + system, every thread) %.3f s per recovery\n", recovering.openCpu);
  std::printf("  freeing the table afterwards (when the base is closed): %.3f s\n", recovering.freeing);
  std::printf("recovery / sequential read: %.2fx, page cache warm for both\n", recovery / read);
  std::printf("recovery / cat: %.2fx (cat %.3f s, run in turn with the recovery; target: at most 3x), page cache warm "
              "for both\n",
              recovery / cat, cat);
  bool sameMarks = true;
  {
    MessageBaseReader reader;
    reader.workingPath = path;
    dbx::SeenRecordEnds seen;
    uint64_t fetched =
        dbx::recoverMessages(path, reader, {}, &MessageBaseReader::parseHeadersInto, &seen).bytesFetched;
    bench::printBytesFetched("recovery", fetched, size);
    // The marks reading every record's few bytes again, as before they took what recovery saw.
    MessageTable readingEnds = reader;
    dbx::MarksReading endsRead;
    auto marksStart = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    (void)dbx::markRecovered(path, readingEnds, {}, &endsRead);
    std::printf("marks reading each record's ends: %.3f s (CPU %.3f s), fetched %.3f per byte of the file\n",
                bench::secondsSince(marksStart), static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC,
                static_cast<double>(endsRead.bytesFetched) / static_cast<double>(size));
    // After recovery the marks read what they need of the file again (only what recovery did not
    // see): the figure above leaves them out.
    dbx::MarksReading marks;
    marksStart = std::chrono::steady_clock::now();
    cpuStart = std::clock();
    (void)dbx::markRecovered(path, reader, {}, &marks, &seen);
    std::printf("marks: %.3f s (CPU %.3f s), fetched %.3f per byte of the file\n", bench::secondsSince(marksStart),
                static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC,
                static_cast<double>(marks.bytesFetched) / static_cast<double>(size));
    // What the index mark cost before, in the same run: a whole browse walking every chain.
    marksStart = std::chrono::steady_clock::now();
    cpuStart = std::clock();
    MessageTable listed;
    const uint64_t browseFetched = dbx::browseIndex(path, listed, {}).outcome.bytesFetched;
    std::printf("  against a whole index browse: %.3f s (CPU %.3f s), fetched %.3f\n", bench::secondsSince(marksStart),
                static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC,
                static_cast<double>(browseFetched) / static_cast<double>(size));
    fetched += marks.bytesFetched;
    bench::printBytesFetched("recovery with its marks", fetched, size);
    for (size_t i = 0; i < reader.records.size(); ++i) {
      const MessageRecord& a = reader.records[i];
      const MessageRecord& b = readingEnds.records[i];
      if (a.fragment != b.fragment || a.unindexed != b.unindexed || a.invalid != b.invalid || a.number != b.number)
        sameMarks = false;
    }
    std::printf("marks from what recovery saw equal the marks reading the ends: %s\n", sameMarks ? "yes" : "NO");
  }
  bench::printColdRatio(path, "recovery", [&] { bench::openedBase(folder.path(), "recover.dbx", true); });
  return agree && sameMarks && candidates == expected && valid >= messages ? 0 : 1;
}

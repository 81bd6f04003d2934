// Browsing a base of 100,000 messages, as a ratio to one sequential read of the same file.
// browse_bench [MESSAGES [PATH]]: with PATH, only writes the base there.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/bench_support.h"
#include "platform/message_sink.h"
#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/scratch_dir.h"

int main(int argc, char** argv) {
  using namespace vireo;
  const int messages = argc > 1 ? std::atoi(argv[1]) : 100000;
  testing::ScratchDir folder;
  const std::string path = folder.file("browse.dbx");
  {
    std::mt19937 random(42);
    testing::DbxWriter writer;
    for (int i = 0; i < messages; ++i) writer.add(bench::realisticMessage(i, random));
    writer.build().save(path);
  }
  if (argc > 2) {  // only write the base, for profiling the browse on its own
    std::filesystem::copy_file(path, argv[2], std::filesystem::copy_options::overwrite_existing);
    return 0;
  }
  const auto size = std::filesystem::file_size(path);
  std::printf("base: %d messages, %.1f MiB\n", messages, static_cast<double>(size) / (1 << 20));

  bench::sequentialReadSeconds(path);  // warm the page cache for both measurements
  const double read = bench::medianSeconds(5, [&] { bench::sequentialReadSeconds(path); });
  int listed = 0;
  const bench::OpenAgainstCat browsing = bench::openAgainstCat(path, 5, [&] {
    auto reader = bench::openedBase(folder.path(), "browse.dbx", false);
    listed = reader->validCount;
    return reader;
  });
  const double cat = browsing.cat;
  const double browse = browsing.open;
  uint64_t fetched = 0;
  // The walk alone, without parsing, for comparison: one thread, so its CPU time is the walk's.
  const double cpuBeforeWalk = bench::processCpuSeconds();
  const double indexSeconds = bench::medianSeconds(5, [&] {
    MessageBaseReader reader;
    (void)dbx::browseIndex(path, reader, {});
  });
  const double indexCpu = (bench::processCpuSeconds() - cpuBeforeWalk) / 5;
  {
    // The bytes fetched are the whole browse's.
    MessageBaseReader parsed;
    fetched = dbx::browseIndex(path, parsed, {}, dbx::RecordParser(&MessageBaseReader::parseHeadersInto))
                  .outcome.bytesFetched;
  }
  std::printf("sequential read: %.3f s\nbrowse (index, chains, headers in one pass): %.3f s, %d messages listed\n",
              read, browse, listed);
  std::printf("  CPU time (user + system, every thread) %.3f s per browse; index and chains alone %.3f s (CPU %.3f s)\n",
              browsing.openCpu, indexSeconds, indexCpu);
  std::printf("  freeing the table afterwards (when the base is closed): %.3f s\n", browsing.freeing);
  std::printf("browse / sequential read: %.2fx, page cache warm for both\n", browse / read);
  std::printf("browse / cat: %.2fx (cat %.3f s, run in turn with the browse; target: at most 3x), page cache warm for both\n",
              browse / cat, cat);
  bench::printBytesFetched("browse", fetched, size);
  bench::printColdRatio(path, "browse", [&] { bench::openedBase(folder.path(), "browse.dbx", false); });

  // A fragmented base: the blocks of all messages alternate through the file, so every block
  // read lands far from the one before.
  const std::string fragmented = folder.file("fragmented.dbx");
  {
    std::mt19937 random(43);
    testing::DbxWriter writer;
    writer.setPlacement(testing::BlockPlacement::interleaved);
    for (int i = 0; i < messages / 5; ++i) writer.add(bench::realisticMessage(i, random));
    writer.build().save(fragmented);
  }
  bench::sequentialReadSeconds(fragmented);
  const double fragmentedRead = bench::medianSeconds(5, [&] { bench::sequentialReadSeconds(fragmented); });
  const double fragmentedBrowse = bench::medianSeconds(3, [&] {
    bench::openedBase(folder.path(), "fragmented.dbx", false);
  });
  std::printf("fragmented base of %d messages: read %.3f s, browse %.3f s: %.2fx\n", messages / 5,
              fragmentedRead, fragmentedBrowse, fragmentedBrowse / fragmentedRead);
  {
    MessageBaseReader parsed;
    const dbx::RecordParser parse = &MessageBaseReader::parseHeadersInto;
    bench::printBytesFetched("fragmented browse", dbx::browseIndex(fragmented, parsed, {}, parse).outcome.bytesFetched,
                             std::filesystem::file_size(fragmented));
  }

  // A chain table of 1,000,000 loose records that hold no message: the table scan and the
  // record lookups alone, where the growth of the browse's entry array shows.
  const std::string loose = folder.file("loose.dbx");
  {
    constexpr uint32_t kRecords = 1000000;
    constexpr uint32_t kRecordSize = 60;  // the 20-byte header and ten attributes, none of them 4
    constexpr uint32_t kFirst = 9412;
    std::vector<uint8_t> bytes(kFirst + size_t{kRecords} * kRecordSize, 0);
    auto put32 = [&bytes](uint32_t at, uint32_t value) {
      for (int i = 0; i < 4; ++i) bytes[at + static_cast<uint32_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(4, 0x6F74FDC5);  // a mail base
    put32(668, kFirst);    // the chain table's first slot
    for (uint32_t r = 0; r < kRecords; ++r) {
      const uint32_t at = kFirst + r * kRecordSize;
      put32(at + 16, r + 1 < kRecords ? at + kRecordSize : 0);
    }
    std::ofstream(loose, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  bench::sequentialReadSeconds(loose);
  const double looseRead = bench::medianSeconds(5, [&] { bench::sequentialReadSeconds(loose); });
  const double looseBrowse = bench::medianSeconds(3, [&] { bench::openedBase(folder.path(), "loose.dbx", false); });
  std::printf("chain table of 1,000,000 loose records: read %.3f s, browse %.3f s: %.2fx\n", looseRead, looseBrowse,
              looseBrowse / looseRead);
  return listed == messages ? 0 : 1;
}

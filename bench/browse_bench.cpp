// Browsing a base of 100,000 messages, as a ratio to one sequential read of the same file.
// browse_bench [MESSAGES [PATH]]: with PATH, only writes the base there.
#include <cstdio>
#include <filesystem>

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
  const double browse = bench::medianSeconds(3, [&] {
    listed = bench::openedBase(folder.path(), "browse.dbx", false).validCount;
  });
  double indexSeconds = 0, readingSeconds = 0;
  {
    MessageBaseReader reader;
    reader.baseFolder = folder.path();
    reader.baseName = "browse.dbx";
    reader.workingPath = path;
    auto start = std::chrono::steady_clock::now();
    (void)dbx::browseIndex(path, reader, {});
    indexSeconds = bench::secondsSince(start);
    start = std::chrono::steady_clock::now();
    (void)dbx::readMessages(path, reader, {}, [&reader](const char* text, int length, int recordIndex) {
      return reader.parseHeaders(text, length, recordIndex);
    });
    readingSeconds = bench::secondsSince(start);
  }
  std::printf("sequential read: %.3f s\nbrowse (index, chains, headers): %.3f s, %d messages listed\n", read,
              browse, listed);
  std::printf("  of which index and chains %.3f s, reading and parsing headers %.3f s\n", indexSeconds,
              readingSeconds);
  std::printf("browse / sequential read: %.2fx (target: under 3x), page cache warm for both\n", browse / read);
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
  return listed == messages ? 0 : 1;
}

// Parsing the summary of every message of a base from memory (no file, no threads): the header
// scan, the body's charset and attachment scan, decoding, dates, conversion and storing the
// record, as a ratio to copying the same bytes (and to copying and one memchr over them) in the
// same run.
// parse_bench [MESSAGES [RUNS]]: RUNS (default 5) of each parse, more for profiling.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "content/header_parser.h"
#include "reader/message_base_reader.h"

namespace {

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

// The median wall time of the runs, and the least CPU time: on a shared machine the other
// processes only ever add to a run's CPU time (caches, a sibling hyperthread).
template <class F>
Timing timing(int runs, F&& body) {
  std::vector<double> walls;
  double cpu = 0;
  for (int r = 0; r < runs; ++r) {
    const double cpuStart = threadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    body();
    walls.push_back(vireo::bench::secondsSince(start));
    const double used = threadCpuSeconds() - cpuStart;
    cpu = r == 0 ? used : std::min(cpu, used);
  }
  std::sort(walls.begin(), walls.end());
  return {walls[walls.size() / 2], cpu};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vireo;
  const int messages = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  // All texts in one buffer, as the reading hands them over: one after another.
  std::string bytes;
  std::vector<std::pair<size_t, int>> spans;
  {
    std::mt19937 random(42);
    for (int i = 0; i < messages; ++i) {
      const std::string text = bench::realisticMessage(i, random);
      spans.emplace_back(bytes.size(), static_cast<int>(text.size()));
      bytes += text;
    }
  }
  const double megabytes = static_cast<double>(bytes.size()) / 1e6;
  std::printf("messages: %d, %.1f MB of message text\n", messages, megabytes);

  // As the reading does, each message is first copied into one reused buffer, and parsed from
  // there while its bytes are still in the cache; the copy alone is the baseline.
  size_t largest = 0;
  for (const auto& span : spans) largest = std::max(largest, static_cast<size_t>(span.second));
  std::vector<char> buffer(largest);
  const auto copyIn = [&](const std::pair<size_t, int>& span) {
    std::memcpy(buffer.data(), bytes.data() + span.first, static_cast<size_t>(span.second));
    return buffer.data();
  };
  volatile size_t sink = 0;
  const Timing copying = timing(2 * runs + 1, [&] {
    size_t found = 0;
    for (const auto& span : spans) found += static_cast<size_t>(copyIn(span)[span.second / 2]);
    sink = sink + found;
  });
  const Timing scan = timing(2 * runs + 1, [&] {
    size_t found = 0;
    for (const auto& span : spans)
      found += std::memchr(copyIn(span), '\0', static_cast<size_t>(span.second)) == nullptr ? 1 : 0;
    sink = sink + found;
  });
  const Timing parse = timing(runs, [&] {
    size_t lines = 0;
    for (const auto& span : spans) lines += static_cast<size_t>(parseHeaderFields(copyIn(span), span.second).lines);
    sink = sink + lines;
  });
  // A digest of every field, so that two builds can be seen to give the same results.
  uint64_t digest = 14695981039346656037ull;
  const auto mix = [&](std::string_view bytes) {
    for (const char c : bytes) digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    digest = (digest ^ 0xFF) * 1099511628211ull;
  };
  for (const auto& span : spans) {
    const SummaryFields f = parseHeaderFields(copyIn(span), span.second);
    mix(f.from), mix(f.to), mix(f.subject), mix(f.dateText);
    mix(std::to_string(f.time) + " " + std::to_string(f.codePage) + " " + std::to_string(f.attachment) + " " +
        std::to_string(f.lines));
  }
  // The reader's own step: parse and store into a table's record, as the browse does.
  const Timing store = timing(runs, [&] {
    MessageBaseReader reader;
    reader.records.resize(spans.size());
    size_t lines = 0;
    for (size_t i = 0; i < spans.size(); ++i)
      lines += static_cast<size_t>(reader.parseHeaders(copyIn(spans[i]), spans[i].second, static_cast<int>(i)));
    sink = sink + lines;
  });

  // From the CPU times (the wall times carry the machine's other work); a step's own cost is its
  // time less the copy's.
  const auto report = [&](const char* what, const Timing& t) {
    const double own = t.cpu - copying.cpu;
    std::printf("%-24s %6.3f s wall (median), %6.3f s CPU (least): %5.2fx the copy; itself %6.0f MB/s, %5.2f us/message\n",
                what, t.wall, t.cpu, t.cpu / copying.cpu, megabytes / own, own * 1e6 / messages);
  };
  std::printf("%-24s %6.3f s wall (median), %6.3f s CPU (least)\n", "copy (baseline)", copying.wall, copying.cpu);
  report("copy and memchr", scan);
  report("copy and parse", parse);
  report("copy, parse and store", store);
  std::printf("digest of the parsed fields: %016llx\n", static_cast<unsigned long long>(digest));
  return 0;
}

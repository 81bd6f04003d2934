// The search of a tree of 100,000 folders for bases, as a ratio to `find DIR -name '*.dbx'` on
// the same tree in the same run, the page cache warm for both.
// search_bench [FOLDERS]
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "platform/message_sink.h"
#include "reader/folder_search.h"
#include "reader/worker.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace {

constexpr int kBranches = 50;  // first and second level
constexpr int kRuns = 5;

// kBranches x kBranches folders sharing the leaves equally; a base in every 1,000th leaf and a
// file that is none beside them. Returns the count of folders made.
int makeTree(const std::string& root, int leaves, const std::string& baseBytes) {
  constexpr int kSeconds = kBranches * kBranches;
  int folders = 0;
  int leaf = 0;
  for (int a = 0; a < kBranches; ++a) {
    const std::string first = root + "/Folder " + std::to_string(a);
    ::mkdir(first.c_str(), 0755);
    ++folders;
    for (int b = 0; b < kBranches; ++b) {
      const std::string second = first + "/sub" + std::to_string(b);
      ::mkdir(second.c_str(), 0755);
      ++folders;
      std::ofstream(second + "/notes.txt") << "not a base";
      const int index = a * kBranches + b;
      const int here = leaves / kSeconds + (index < leaves % kSeconds ? 1 : 0);
      for (int c = 0; c < here; ++c, ++leaf) {
        const std::string third = second + "/leaf" + std::to_string(c);
        ::mkdir(third.c_str(), 0755);
        ++folders;
        if (leaf % 1000 == 0) std::ofstream(third + "/Inbox.dbx", std::ios::binary) << baseBytes;
      }
    }
  }
  return folders;
}

double findSeconds(const std::string& root) {
  const std::string command = "find '" + root + "' -name '*.dbx' > /dev/null";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::fputs("find failed\n", stderr);
  return vireo::bench::secondsSince(start);
}

double searchSeconds(const std::string& root, int& found) {
  vireo::WorkerShared shared;
  shared.setCompletionSink([](int) { return vireo::handledAlready(); });
  shared.stopEvent.reset();
  shared.closingEvent.reset();
  shared.searchOk = 1;
  const auto start = std::chrono::steady_clock::now();
  vireo::searchFolder(shared, root);
  const double seconds = vireo::bench::secondsSince(start);
  found = shared.readerCount;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vireo;
  // 100,000 folders with the root and the two upper levels.
  const int leaves = (argc > 1 ? std::atoi(argv[1]) : 100000) - 1 - kBranches - kBranches * kBranches;
  setMessageHandler([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
  testing::ScratchDir folder;
  std::string baseBytes;
  {
    testing::DbxWriter writer;
    writer.add(testing::simpleMessage("hello"));
    writer.build().save(folder.file("one.dbx"));
    baseBytes = testing::fileText(folder.file("one.dbx"));
  }
  const std::string root = folder.file("tree");
  ::mkdir(root.c_str(), 0755);
  const int folders = makeTree(root, leaves, baseBytes) + 1;

  int found = 0;
  findSeconds(root);  // both warm the cache first
  searchSeconds(root, found);
  std::vector<double> find, search;
  for (int r = 0; r < kRuns; ++r) {
    find.push_back(findSeconds(root));
    search.push_back(searchSeconds(root, found));
  }
  std::sort(find.begin(), find.end());
  std::sort(search.begin(), search.end());
  const double findMedian = find[kRuns / 2], searchMedian = search[kRuns / 2];
  std::printf("tree: %d folders, %d bases found\n", folders, found);
  std::printf("find -name '*.dbx': %.3f s, search: %.3f s (medians of %d)\n", findMedian, searchMedian, kRuns);
  std::printf("search / find: %.2fx (target: at most 1.5x), page cache warm for both\n", searchMedian / findMedian);
  return 0;
}

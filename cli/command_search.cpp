#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/base_kind_name.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/run_folder.h"
#include "reader/document.h"
#include "reader/drive_list.h"

namespace vireo::cli {
namespace {

constexpr int kStopped = 130;
constexpr size_t kProgressWidth = 79;

// The search's progress text on one line of stderr, redrawn in place.
class ProgressLine {
 public:
  explicit ProgressLine(bool shown) : shown_(shown) {}
  ~ProgressLine() { finish(); }
  void show(std::string text) {
    if (!shown_) return;
    if (text.size() > kProgressWidth) text = "..." + text.substr(text.size() - (kProgressWidth - 3));
    std::fprintf(stderr, "\r%-*s", static_cast<int>(kProgressWidth), text.c_str());
    std::fflush(stderr);
    drawn_ = true;
  }
  void finish() {
    if (!drawn_) return;
    std::fputs("\n", stderr);
    drawn_ = false;
  }

 private:
  bool shown_;
  bool drawn_ = false;
};

std::string basePath(const MessageBaseReader& reader) {
  return reader.baseFolder == "/" ? "/" + reader.baseName : reader.baseFolder + "/" + reader.baseName;
}

// Runs one search to its end; false when it could not start.
bool searchToEnd(Document& doc, int operation, const std::string& argument) {
  if (!doc.startSearch(operation, argument)) return false;
  while (!doc.doneEvent.wait(std::chrono::seconds(1))) {
  }
  doc.completeOperation(kOperationSucceeded);
  return true;
}

}  // namespace

int runSearch(const Arguments& args) {
  std::vector<std::string> roots;
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) return usage();
    std::error_code error;
    const std::filesystem::path root = std::filesystem::absolute(arg, error).lexically_normal();
    roots.push_back(error ? arg : root.string());
  }

  RunFolder temp;
  const std::unique_ptr<Document> document = temp.startDocument();
  if (!document) return 1;
  Document& doc = *document;
  ProgressLine line(::isatty(STDERR_FILENO) != 0);
  doc.setCompletionSink([&doc, &line](int message) {
    if (message == kSearchProgress) line.show(doc.searchProgressText());
    return handledAlready();
  });

  InterruptWatcher interrupt(doc.stopEvent);
  // Named folders are searched one by one, so that a ";" in a name does not split it.
  bool started = true;
  if (roots.empty()) {
    started = searchToEnd(doc, kOperationSearchList, fixedDriveList());
  } else {
    for (const std::string& root : roots) {
      started = searchToEnd(doc, kOperationSearchFolder, root);
      if (!started || interrupt.interrupted()) break;
    }
  }
  line.finish();
  if (!started) {
    std::fputs("vireo-cli: cannot start the search\n", stderr);
    return 1;
  }
  for (int i = 0; i < doc.readerCount; ++i) {
    const MessageBaseReader& reader = doc.readers[static_cast<size_t>(i)];
    std::printf("%s\t%s\n", baseKindName(reader.baseKind), basePath(reader).c_str());
  }
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  return 0;
}

}  // namespace vireo::cli

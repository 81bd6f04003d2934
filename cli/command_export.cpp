#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <memory>
#include <string>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/run_folder.h"
#include "cli/terminal_progress.h"
#include "platform/folder_path.h"
#include "reader/document.h"
#include "reader/message_batch.h"

namespace vireo::cli {
namespace {

constexpr int kStopped = 130;

// Each message that cannot be written is named with the reason on stderr, and the others are
// still written.
BatchOutcome writeAll(const MessageBaseReader& reader, const std::string& folder, const InterruptWatcher& interrupt,
                      TerminalProgress* bar) {
  const std::vector<int> records = validRecordIndexes(reader);
  if (bar) {
    bar->setLabel("Writing");
    bar->setRange(static_cast<uint32_t>(records.size()));
  }
  BatchHooks hooks;
  hooks.onFailure = [&reader, bar](int index, const FailureReason& failure) {
    if (bar) bar->finish();
    std::fprintf(stderr, "vireo-cli: message %d not written: %s\n", reader.row(index).number,
                 describeFailure(failure).c_str());
  };
  hooks.keepGoing = [&interrupt, bar](int attempted) {
    if (bar && attempted > 0) bar->stepIt();
    return !interrupt.interrupted();
  };
  return writeMessageBatch(reader, records, folder, "eml", -1, hooks);
}

}  // namespace

int runExport(const Arguments& args) {
  bool recover = false, copy = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--recover") recover = true;
    else if (arg == "--copy") copy = true;
    else if (arg.starts_with("--")) return usage();
    else paths.push_back(arg);
  }
  if (paths.size() != 2) return usage();
  const std::string& base = paths[0];
  const std::string& folder = paths[1];

  RunFolder temp;
  const std::unique_ptr<Document> document = temp.startDocument();
  if (!document) return 1;
  Document& doc = *document;
  MessageBaseReader& reader = doc.readers[0];
  if (!setBase(reader, base)) return 1;
  doc.readerCount = 1;
  doc.copyBeforeBrowse = doc.copyBeforeRecover = copy;

  std::optional<TerminalProgress> bar;
  if (::isatty(STDERR_FILENO)) doc.progress = &bar.emplace("Reading");
  std::atomic<int> completion{kOperationFailed};
  doc.setCompletionSink([&completion](int message) {
    completion.store(message);
    return handledAlready();
  });

  InterruptWatcher interrupt(doc.stopEvent);
  if (!doc.startOperation(recover ? kOperationRecover : kOperationBrowse, 0)) {
    std::fprintf(stderr, "vireo-cli: cannot start reading %s\n", base.c_str());
    return 1;
  }
  while (!doc.doneEvent.wait(std::chrono::seconds(1))) {
  }
  const int message = completion.load();
  doc.completeOperation(message);
  if (bar) bar->finish();
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  if (message != kOperationSucceeded) {
    std::fprintf(stderr, "vireo-cli: cannot read the messages of %s\n", base.c_str());
    return 1;
  }
  if (createFolderPath(folder) != 0) {
    std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", folder.c_str());
    return 1;
  }

  const BatchOutcome counts = writeAll(reader, folder, interrupt, bar ? &*bar : nullptr);
  if (bar) bar->finish();
  // Files of the same name were kept, never replaced: say so, or the user looks for them in vain.
  const std::string sameNames = describeSameNames(counts);
  std::printf("%d written, %d failed%s\n", counts.written, counts.failed,
              sameNames.empty() ? "" : (" (" + sameNames + ")").c_str());
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  return counts.failed > 0 ? 1 : 0;
}

}  // namespace vireo::cli

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/run_folder.h"
#include "cli/terminal_progress.h"
#include "platform/folder_path.h"
#include "content/message_export.h"
#include "reader/document.h"

namespace vireo::cli {
namespace {

constexpr int kStopped = 130;

struct ExportCounts {
  int written = 0;
  int failed = 0;
};

// Each message that cannot be written is named with the reason on stderr, and the others are
// still written.
ExportCounts writeAll(const MessageBaseReader& reader, const std::string& folder,
                      const InterruptWatcher& interrupt, TerminalProgress* bar) {
  ExportCounts counts;
  if (bar) {
    bar->setLabel("Writing");
    bar->setRange(static_cast<uint32_t>(reader.count()));
  }
  MessageFileWriter writer(reader.workingPath);
  for (int i = 0; i < reader.count() && !interrupt.interrupted(); ++i) {
    const MessageRecord& record = reader.row(i);
    if (!record.invalid) {
      const std::string name = messageFileName(folder, record.number, "eml", -1);
      if (const std::optional<FailureReason> failure = writer.write(reader, i, name)) {
        ++counts.failed;
        if (bar) bar->finish();
        std::fprintf(stderr, "vireo-cli: message %d not written: %s\n", record.number, describeFailure(*failure).c_str());
      } else {
        ++counts.written;
      }
    }
    if (bar) bar->stepIt();
  }
  return counts;
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
  if (!temp.ready()) return 1;
  Document doc(temp.setup());
  if (!doc.startupFailure().empty()) {
    std::fprintf(stderr, "vireo-cli: %s\n", doc.startupFailure().c_str());
    return 1;
  }
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

  const ExportCounts counts = writeAll(reader, folder, interrupt, bar ? &*bar : nullptr);
  if (bar) bar->finish();
  std::printf("%d written, %d failed\n", counts.written, counts.failed);
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  return counts.failed > 0 ? 1 : 0;
}

}  // namespace vireo::cli

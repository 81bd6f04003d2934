#include <unistd.h>

#include <algorithm>
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
#include "reader/maildir_export.h"
#include "reader/mbox_export.h"
#include "reader/message_batch.h"
#include "reader/worker.h"

namespace vireo::cli {
namespace {

constexpr int kStopped = 130;
constexpr int kReadOk = -1;

enum class Form { emlFiles, mbox, mboxFolder, maildir };

struct ExportRequest {
  Form form = Form::emlFiles;
  std::string destination;  // the folder, the mbox file, or the folder of mboxes
  std::vector<std::string> bases;
  bool recover = false;
  bool copy = false;
  bool withDeleted = false;
};

// Each message that cannot be written is named with the reason on stderr, and the others are
// still written.
BatchHooks reportingHooks(const MessageBaseReader& reader, const InterruptWatcher& interrupt, TerminalProgress* bar,
                          size_t total) {
  if (bar) {
    bar->setLabel("Writing");
    bar->setRange(static_cast<uint32_t>(total));
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
  return hooks;
}

// Browses or recovers the base into doc.readers[readerIndex] on the worker, as the window does.
// kReadOk, or the exit status to end with.
int readBase(Document& doc, int readerIndex, const std::string& base, const ExportRequest& request,
             const InterruptWatcher& interrupt, std::optional<TerminalProgress>& bar) {
  MessageBaseReader& reader = doc.readers[readerIndex];
  if (!setBase(reader, base)) return 1;
  doc.readerCount = readerIndex + 1;
  doc.copyBeforeBrowse = doc.copyBeforeRecover = request.copy;
  if (bar) bar->setLabel("Reading");
  std::atomic<int> completion{kOperationFailed};
  doc.setCompletionSink([&completion](int message) {
    completion.store(message);
    return handledAlready();
  });
  if (!doc.startOperation(request.recover ? kOperationRecover : kOperationBrowse, readerIndex)) {
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
  return kReadOk;
}

int reportBatch(const BatchOutcome& counts, const InterruptWatcher& interrupt) {
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

int writeMbox(const MessageBaseReader& reader, const std::string& destination, const InterruptWatcher& interrupt,
              TerminalProgress* bar) {
  const std::vector<int> records = validRecordIndexes(reader);
  const MboxOutcome outcome =
      writeMboxFile(reader, records, destination, reportingHooks(reader, interrupt, bar, records.size()));
  if (bar) bar->finish();
  if (outcome.messages.stopped || interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  if (outcome.fileFailure) {
    std::fprintf(stderr, "vireo-cli: %s not written: %s\n", destination.c_str(),
                 describeFailure(*outcome.fileFailure).c_str());
    return 1;
  }
  std::printf("%s: %d written, %d failed%s\n", outcome.placed.path.c_str(), outcome.messages.written,
              outcome.messages.failed,
              outcome.placed.placement == Placement::keptBeside ? " (kept beside a file of the same name)" : "");
  return outcome.messages.failed > 0 ? 1 : 0;
}

int parseRequest(const Arguments& args, ExportRequest& request) {
  bool formGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto takeForm = [&](Form form) {
      if (formGiven || i + 1 >= args.size()) return false;
      formGiven = true;
      request.form = form;
      request.destination = args[++i];
      return true;
    };
    if (arg == "--recover") request.recover = true;
    else if (arg == "--copy") request.copy = true;
    else if (arg == "--deleted") request.withDeleted = true;
    else if (arg == "--mbox") {
      if (!takeForm(Form::mbox)) return usage();
    } else if (arg == "--mbox-folder") {
      if (!takeForm(Form::mboxFolder)) return usage();
    } else if (arg == "--maildir") {
      if (!takeForm(Form::maildir)) return usage();
    } else if (arg.starts_with("--")) return usage();
    else request.bases.push_back(arg);
  }
  if (request.withDeleted && request.form != Form::maildir) return usage();
  if (request.form == Form::emlFiles) {
    // The original form: BASE DIR.
    if (request.bases.size() != 2) return usage();
    request.destination = request.bases.back();
    request.bases.pop_back();
  }
  if (request.bases.empty() || (request.form != Form::mboxFolder && request.bases.size() != 1)) return usage();
  if (request.form == Form::mboxFolder && request.bases.size() > static_cast<size_t>(kReaderTableSize)) return usage();
  return kReadOk;
}

}  // namespace

int runExport(const Arguments& args) {
  ExportRequest request;
  if (const int status = parseRequest(args, request); status != kReadOk) return status;

  RunFolder temp;
  const std::unique_ptr<Document> document = temp.startDocument();
  if (!document) return 1;
  Document& doc = *document;
  std::optional<TerminalProgress> bar;
  if (::isatty(STDERR_FILENO)) doc.progress = &bar.emplace("Reading");
  InterruptWatcher interrupt(doc.stopEvent);
  TerminalProgress* writingBar = bar ? &*bar : nullptr;

  if (request.form == Form::mboxFolder) {
    if (createFolderPath(request.destination) != 0) {
      std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", request.destination.c_str());
      return 1;
    }
    // Every base is tried; the status is the worst one.
    int status = 0;
    for (size_t i = 0; i < request.bases.size(); ++i) {
      const int readerIndex = static_cast<int>(i);
      int result = readBase(doc, readerIndex, request.bases[i], request, interrupt, bar);
      if (result == kReadOk) {
        MessageBaseReader& reader = doc.readers[readerIndex];
        result = writeMbox(reader, mboxNameForBase(request.destination, reader.baseName), interrupt, writingBar);
        reader.resetReader();  // its table is written: only one base's messages in memory at a time
      }
      if (result == kStopped) return kStopped;
      status = std::max(status, result);
    }
    return status;
  }

  if (const int status = readBase(doc, 0, request.bases[0], request, interrupt, bar); status != kReadOk)
    return status;
  const MessageBaseReader& reader = doc.readers[0];
  switch (request.form) {
    case Form::mbox:
      return writeMbox(reader, request.destination, interrupt, writingBar);
    case Form::maildir: {
      const std::vector<int> records = maildirRecordIndexes(reader, request.withDeleted);
      const BatchOutcome counts = writeMaildir(reader, records, request.destination,
                                               reportingHooks(reader, interrupt, writingBar, records.size()));
      if (bar) bar->finish();
      return reportBatch(counts, interrupt);
    }
    default: {
      if (createFolderPath(request.destination) != 0) {
        std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", request.destination.c_str());
        return 1;
      }
      const std::vector<int> records = validRecordIndexes(reader);
      const BatchOutcome counts = writeMessageBatch(reader, records, request.destination, "eml", -1,
                                                    reportingHooks(reader, interrupt, writingBar, records.size()));
      if (bar) bar->finish();
      return reportBatch(counts, interrupt);
    }
  }
}

}  // namespace vireo::cli

#include <malloc.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_text.h"
#include "cli/run_folder.h"
#include "cli/terminal_progress.h"
#include "platform/folder_path.h"
#include "platform/manual_reset_event.h"
#include "reader/image_carve_run.h"
#include "reader/message_batch.h"
#include "reader/operation_messages.h"

namespace vireo::cli {
namespace {

constexpr int kStopped = 130;

struct Counts {
  int messages = 0;
  int fragments = 0;
};

Counts countMessages(const MessageBaseReader& reader) {
  Counts counts;
  for (const MessageRecord& r : reader.records) {
    if (r.invalid) continue;
    ++counts.messages;
    if (r.fragment) ++counts.fragments;
  }
  return counts;
}

std::string pieceText(const dbx::ImageSegment& piece) {
  char text[160];
  std::snprintf(text, sizeof text, "image %" PRIu64 "-%" PRIu64 " -> base %" PRIu32 "-%" PRIu32, piece.imageStart,
                piece.imageEnd(), piece.baseStart, piece.baseEnd());
  return text;
}

void printLines(const ImageCarve& carve) {
  for (size_t k = 0; k < carve.bases.size(); ++k) {
    const CarvedBase& base = *carve.bases[k];
    std::string pieces;
    for (const dbx::ImageSegment& piece : base.found.pieces) pieces += (pieces.empty() ? "" : ", ") + pieceText(piece);
    const Counts counts = countMessages(base.reader);
    std::printf("base-%zu\toffset 0 at %" PRIu64 "\t%zu piece%s: %s\theader %s\t%d messages (%d fragments)\n", k,
                base.found.origin, base.found.pieces.size(), base.found.pieces.size() == 1 ? "" : "s", pieces.c_str(),
                base.found.headerSurvived ? "survived" : "lost", counts.messages, counts.fragments);
  }
}

void printJson(const ImageCarve& carve) {
  std::string out = "[";
  for (size_t k = 0; k < carve.bases.size(); ++k) {
    const CarvedBase& base = *carve.bases[k];
    const Counts counts = countMessages(base.reader);
    char head[200];
    std::snprintf(head, sizeof head, "%s\n{\"base\":%zu,\"origin\":%" PRIu64 ",\"header\":%s,\"messages\":%d,\"fragments\":%d,\"pieces\":[",
                  k == 0 ? "" : ",", k, base.found.origin, base.found.headerSurvived ? "true" : "false", counts.messages,
                  counts.fragments);
    out += head;
    for (size_t p = 0; p < base.found.pieces.size(); ++p) {
      const dbx::ImageSegment& piece = base.found.pieces[p];
      char text[160];
      std::snprintf(text, sizeof text, "%s{\"imageStart\":%" PRIu64 ",\"imageEnd\":%" PRIu64 ",\"baseStart\":%" PRIu32 ",\"baseEnd\":%" PRIu32 "}",
                    p == 0 ? "" : ",", piece.imageStart, piece.imageEnd(), piece.baseStart, piece.baseEnd());
      out += text;
    }
    out += "]}";
  }
  out += carve.bases.empty() ? "]\n" : "\n]\n";
  std::fputs(out.c_str(), stdout);
}

// DIR/base-<k>/<number>.eml, and fragment-<number>.eml for what is only part of a message.
int writeBases(const ImageCarve& carve, const std::string& folder, const InterruptWatcher& interrupt) {
  BatchOutcome total;
  for (size_t k = 0; k < carve.bases.size() && !interrupt.interrupted(); ++k) {
    const MessageBaseReader& reader = carve.bases[k]->reader;
    const std::string baseFolder = folder + "/base-" + std::to_string(k);
    if (createFolderPath(baseFolder) != 0) {
      std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", baseFolder.c_str());
      return 1;
    }
    BatchHooks hooks;
    hooks.onFailure = [&reader, k](int index, const FailureReason& failure) {
      std::fprintf(stderr, "vireo-cli: base %zu message %d not written: %s\n", k, reader.row(index).number,
                   describeFailure(failure).c_str());
    };
    hooks.keepGoing = [&interrupt](int) { return !interrupt.interrupted(); };
    hooks.fileName = [&reader](int index) {
      const MessageRecord& record = reader.row(index);
      return (record.fragment ? "fragment-" : "") + std::to_string(record.number) + ".eml";
    };
    const BatchOutcome counts = writeMessageBatch(reader, validRecordIndexes(reader), baseFolder, "eml", -1, hooks);
    total.written += counts.written;
    total.failed += counts.failed;
    total.keptBeside += counts.keptBeside;
    total.identical += counts.identical;
  }
  const std::string sameNames = describeSameNames(total);
  std::printf("%d written, %d failed%s\n", total.written, total.failed,
              sameNames.empty() ? "" : (" (" + sameNames + ")").c_str());
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  return total.failed > 0 ? 1 : 0;
}

}  // namespace

int runCarve(const Arguments& args) {
  bool json = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--json") json = true;
    else if (arg.starts_with("--")) return usage();
    else paths.push_back(arg);
  }
  if (paths.empty() || paths.size() > 2 || (json && paths.size() == 2)) return usage();
  const std::string& image = paths[0];

  // Every phase of every base allocates and frees buffers of megabytes; kept in the heap for the
  // next, they are not faulted in again page by page (a tenth of the carve's processor time).
  (void)::mallopt(M_MMAP_THRESHOLD, 64 << 20);
  (void)::mallopt(M_TRIM_THRESHOLD, 256 << 20);

  RunFolder temp;
  if (!temp.ready()) return 1;
  ManualResetEvent stop;
  InterruptWatcher interrupt(stop);
  std::optional<TerminalProgress> bar;
  if (::isatty(STDERR_FILENO)) bar.emplace("Scanning");
  const ImageCarve carve = carveImage(image, temp.path(), &stop, bar ? &*bar : nullptr);
  if (bar) bar->finish();
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return kStopped;
  }
  if (!carve.outcome.ok()) {
    std::fprintf(stderr, "vireo-cli: cannot carve %s: %s\n", image.c_str(), describeFailure(carve.outcome.reason).c_str());
    return 1;
  }
  if (paths.size() == 2) return writeBases(carve, paths[1], interrupt);
  if (json) printJson(carve);
  else printLines(carve);
  return 0;
}

}  // namespace vireo::cli

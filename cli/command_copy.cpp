#include <cstdio>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "platform/folder_path.h"
#include "platform/manual_reset_event.h"
#include "reader/message_base_reader.h"
#include "reader/outcome_text.h"

namespace vireo::cli {

int runCopy(const Arguments& args) {
  if (args.size() != 2 || args[0].starts_with("--") || args[1].starts_with("--")) return usage();
  MessageBaseReader reader;
  if (!setBase(reader, args[0])) return 1;
  if (createFolderPath(args[1]) != 0) {
    std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", args[1].c_str());
    return 1;
  }
  ManualResetEvent stop;
  InterruptWatcher interrupt(stop);
  PlacedFile placed;
  // Ctrl-C or a TERM ends the copy between pieces, and the copy removes its temporary file.
  const int result = reader.copyMessageBase(args[1], &placed,
                                            [&interrupt](uint64_t, uint64_t) { return !interrupt.interrupted(); });
  if (interrupt.interrupted()) {
    std::fputs("vireo-cli: stopped\n", stderr);
    return 130;
  }
  if (result != 0) return 1;
  // The line the window's status bar shows after its copy too.
  std::printf("%s\n", placedCopyText(placed).c_str());
  return 0;
}

}  // namespace vireo::cli

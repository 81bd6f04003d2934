#include <cstdio>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "dbx/byte_view.h"
#include "dbx/layout.h"
#include "platform/read_only_file.h"

namespace vireo::cli {
namespace {

const char* kindName(int kind) {
  switch (kind) {
    case dbx::kBaseKindMail: return "mail";
    case dbx::kBaseKindNews: return "news";
    case dbx::kBaseKindFolders: return "folders (system)";
    case dbx::kBaseKindOffline: return "offline (system)";
    case dbx::kBaseKindPop3uidl: return "pop3uidl (system)";
    default: return "other";
  }
}

}  // namespace

int runInfo(const Arguments& args) {
  if (args.size() != 1 || args[0].starts_with("--")) return usage();
  const std::string& path = args[0];
  MessageBaseReader reader;
  if (!setBase(reader, path)) return 1;
  ReadOnlyFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "vireo-cli: cannot open %s: %s\n", path.c_str(), file.error().c_str());
    return 1;
  }
  uint8_t word[4];
  const bool countRead = file.readAt(dbx::kMessageCountOffset, word, 4) == 4;
  std::printf("base: %s\n", path.c_str());
  std::printf("kind: %d (%s)\n", reader.baseKind, kindName(reader.baseKind));
  if (countRead) std::printf("messages in header: %d\n", dbx::ByteView(word, 4).i32(0));
  else std::printf("messages in header: (file too short to hold a header)\n");
  std::printf("file size: %llu bytes\n", static_cast<unsigned long long>(file.size()));
  return 0;
}

}  // namespace vireo::cli

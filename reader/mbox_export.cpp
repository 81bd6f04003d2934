#include "reader/mbox_export.h"

#include <sys/stat.h>

#include "content/mbox_format.h"
#include "content/message_export.h"
#include "platform/ascii_case.h"
#include "platform/read_only_file.h"

namespace vireo {
namespace {

// Entries gathered before each write: few system calls, bounded memory.
constexpr size_t kWriteChunk = 1 << 20;

int64_t modificationSeconds(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtim.tv_sec) : 0;
}

}  // namespace

MboxOutcome writeMboxFile(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                          const std::string& destination, const BatchHooks& hooks) {
  MboxOutcome result;
  BatchOutcome& outcome = result.messages;
  UserFileWriter out;
  if ((result.fileFailure = out.create(destination))) return result;
  ReadOnlyFile in;
  const bool opened = in.open(reader.workingPath);
  const int64_t fallbackSeconds = modificationSeconds(reader.basePath());

  std::string pending;
  std::string message;
  for (const int index : recordIndexes) {
    if (hooks.keepGoing && !hooks.keepGoing(outcome.attempted)) {
      outcome.stopped = true;
      out.discard();
      return result;
    }
    ++outcome.attempted;
    std::optional<FailureReason> failure;
    if (index < 0 || index >= reader.count() || reader.row(index).invalid)
      failure = FailureReason{"no message " + std::to_string(index) + " in the table", {}, {}, {}};
    else if (!opened)
      failure = FailureReason{"cannot open", reader.workingPath, {}, in.error()};
    else if ((failure = readStoredBytes(in, reader.blocksOf(index), message)) && failure->file.empty())
      failure->file = reader.workingPath;
    if (failure) {
      ++outcome.failed;
      if (!outcome.firstFailure) outcome.firstFailure = failure;
      if (hooks.onFailure) hooks.onFailure(index, *failure);
      continue;
    }
    appendMboxEntry(pending, message, fallbackSeconds);
    ++outcome.written;
    if (pending.size() >= kWriteChunk) {
      if ((result.fileFailure = out.write(pending.data(), pending.size()))) return result;
      pending.clear();
    }
  }
  if ((result.fileFailure = out.write(pending.data(), pending.size()))) return result;
  if ((result.fileFailure = out.place(result.placed))) return result;
  return result;
}

std::string mboxNameForBase(const std::string& folder, const std::string& baseName) {
  std::string name = baseName;
  if (name.size() > 4 && equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - 4), ".dbx"))
    name.resize(name.size() - 4);
  return folder + "/" + name;
}

}  // namespace vireo

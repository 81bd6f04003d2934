#include "reader/maildir_export.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "content/message_export.h"
#include "platform/folder_path.h"

namespace vireo {
namespace {

// The host part of a unique name, with the two characters a name cannot hold written as the
// Maildir convention escapes them.
std::string hostPart() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == 0) return "localhost";
  std::string escaped;
  for (const char* c = host; *c; ++c) {
    if (*c == '/') escaped += "\\057";
    else if (*c == ':') escaped += "\\072";
    else escaped += *c;
  }
  return escaped;
}

// "<seconds>.M<microseconds>P<pid>Q<n>.<host>": unique across processes (pid), within this one
// (the counter) and across a pid reused later (the time).
std::string uniqueName(const std::string& host) {
  static std::atomic<unsigned long> counter{0};
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char text[128];
  std::snprintf(text, sizeof text, "%lld.M%ldP%dQ%lu.", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                static_cast<int>(::getpid()), ++counter);
  return text + host;
}

std::optional<FailureReason> makeMaildirFolders(const std::string& folder) {
  for (const char* sub : {"/cur", "/new", "/tmp"}) {
    const std::string path = folder + sub;
    if (createFolderPath(path) != 0) return FailureReason{"cannot create folder", path, {}, systemErrorText(errno)};
  }
  return std::nullopt;
}

}  // namespace

std::vector<int> maildirRecordIndexes(const MessageBaseReader& reader, bool withDeleted) {
  std::vector<int> indexes;
  for (int i = 0; i < reader.count(); ++i)
    if (!reader.row(i).invalid && (withDeleted || !reader.row(i).deleted)) indexes.push_back(i);
  return indexes;
}

std::string maildirInfo(const MessageRecord& record) { return record.deleted ? "2,T" : "2,"; }

BatchOutcome writeMaildir(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                          const std::string& folder, const BatchHooks& hooks) {
  BatchOutcome outcome;
  const std::optional<FailureReason> folderFailure = makeMaildirFolders(folder);
  const std::string host = hostPart();
  MessageFileWriter writer(reader.workingPath);
  for (const int index : recordIndexes) {
    if (hooks.keepGoing && !hooks.keepGoing(outcome.attempted)) {
      outcome.stopped = true;
      break;
    }
    ++outcome.attempted;
    std::optional<FailureReason> failure = folderFailure;
    if (!failure && (index < 0 || index >= reader.count() || reader.row(index).invalid))
      failure = FailureReason{"no message " + std::to_string(index) + " in the table", {}, {}, {}};
    if (!failure) {
      const std::string name = uniqueName(host);
      PlacedFile placed;
      failure = writer.write(reader, index, folder + "/tmp/" + name, &placed, ExistingName::keepBoth);
      if (!failure) {
        const std::string final = folder + "/cur/" + name + ":" + maildirInfo(reader.row(index));
        if (::rename(placed.path.c_str(), final.c_str()) != 0) {
          failure = FailureReason{"cannot move into cur", final, {}, systemErrorText(errno)};
          ::unlink(placed.path.c_str());
        }
      }
    }
    if (!failure) {
      ++outcome.written;
      continue;
    }
    ++outcome.failed;
    if (!outcome.firstFailure) outcome.firstFailure = failure;
    if (hooks.onFailure) hooks.onFailure(index, *failure);
  }
  return outcome;
}

}  // namespace vireo

#pragma once
// The temp folder holds working copies and messages from other people's bases, so it is private:
// made with mode 0700, and refused when it is a symbolic link or belongs to someone else.
//
// Unless the settings name a "Path", each run makes a folder of its own on disk,
// "<base>/vireo-<uid>-<pid>-XXXXXX", and removes it when it ends (or when a signal ends it, see
// platform/exit_cleanup.h). A run that was killed outright leaves its folder; the next run
// removes it once no process of that number is alive.
#include <string>

#include "platform/exit_cleanup.h"

namespace vireo {

// Where working folders are made: $TMPDIR when it names a folder, else /var/tmp, which lives on
// disk (a RAM disk would be filled by the working copy of a large base), else /tmp.
std::string workingFolderBase();

// Makes folder (and its missing parents) and checks it is a real folder of this user, narrowing
// its mode to 0700. Returns 0 when it can be used, -1 otherwise.
int makePrivateFolder(const std::string& folder);

// Removes base's working folders of this user whose process is gone (kill answers ESRCH): only
// folders named for this user, owned by this user and not links, and in them only the files
// Vireo makes; a folder holding anything else stays. Returns how many folders went.
int removeStaleWorkingFolders(const std::string& base);

// This run's own working folder under base, made after the stale ones were removed. path() is
// empty when it could not be made. Removed, with the files Vireo made in it, when this goes.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& base);
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  const std::string& path() const { return path_; }
  // The name asked for, for messages when it could not be made.
  const std::string& pattern() const { return pattern_; }

 private:
  std::string pattern_;
  std::string path_;
  ExitCleanupFolder signalCleanup_;
};

}  // namespace vireo

#pragma once
// The files Vireo leaves in its working folders, and their removal when the program ends: at a
// normal end, at the next start for a run that was killed, and when SIGINT, SIGTERM or SIGHUP ends
// the process. The removal only makes system calls on a folder's descriptor and allocates
// nothing, so the signal handler runs it itself.
#include <string>

namespace vireo {

// Whether a file named so is one Vireo writes into a working folder: a working copy (".dbc"), a
// preview (".mht"), a message handed to another program (".eml"), each also under a temporary
// name made from it ("3.eml.Xa81Qz", "0.dbc.partial"), or a copy of a registry hive ("hive-...").
bool isWorkingFileName(const char* name) noexcept;

// Unlinks the working files directly in folder: links themselves, never what they point to, and
// nothing in subfolders or of other names. Then, when removeFolder is set, removes the folder,
// which goes only when nothing else is left in it. False when folder is no folder of this user
// (a link is refused), or when it was to go and did not.
bool removeWorkingFiles(const char* folder, bool removeFolder) noexcept;

// Catches SIGINT, SIGTERM and SIGHUP (each unless it is ignored, as under nohup): the handler
// cleans every registered folder, then the signal ends the process as it would have. Call once,
// early in main; again is harmless.
void installExitSignalCleanup();

// A folder that the signal handler cleans while this object lives: emptied of working files,
// and removed too when removeFolder is set. Registering without the handler installed is harmless.
class ExitCleanupFolder {
 public:
  ExitCleanupFolder() = default;
  ExitCleanupFolder(const std::string& folder, bool removeFolder);
  ~ExitCleanupFolder();
  ExitCleanupFolder(const ExitCleanupFolder&) = delete;
  ExitCleanupFolder& operator=(const ExitCleanupFolder&) = delete;

 private:
  int slot_ = -1;  // none when the path is too long or every slot is taken
};

}  // namespace vireo

#pragma once
// Adding bases to the document's table of readers: the .dbx files of a folder, the paths given on
// the command line, and the rule that keeps one entry per file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/image_origin.h"

namespace vireo {

class Document;
struct WorkerShared;

inline constexpr const char* kTooManyBasesText = "Number of dbx files >500";

// One base to give a slot of the table.
struct BaseToList {
  std::string folder;
  std::string name;
  std::optional<int16_t> kind;  // read from the file when not given
  // Set for a base found in a disk image. Such a base is Vireo's own file under a name no other
  // entry has, so it skips the one-entry-per-file rule.
  std::optional<ImageOrigin> fromImage;
};

// Lists one base: an entry for the same file (folder bases only) comes back if it was removed;
// otherwise the base takes the next unused slot, else one a removed base freed
// (Document::releaseRemovedReaders), and the slot starts afresh. The entry is filled before it is
// counted: the window reads only counted entries. Returns the entry's index, or -1 when the table
// is full: then it shows "Number of dbx files >500" and sets listingStopped.
int listBase(WorkerShared& table, BaseToList base);

// Whether a file name has the extension ".dbx", in any letter case (as the finder matches it).
bool isBaseFileName(const std::string& name);

// Adds the .dbx files of folder (a folder without a trailing separator, which becomes their
// baseFolder), sorted by name, each through listBase. After the limit message it lists no more.
void listFolderBases(Document& doc, const std::string& folder);
void listFolderBases(WorkerShared& table, const std::string& folder);

// The same for base file names already read from folder (by the search's own walk): they are
// sorted and added as listFolderBases adds them. False when the table filled up.
bool listBaseFiles(WorkerShared& table, const std::string& folder, std::vector<std::string> names);

// Adds one base whose kind was read already (off the interface thread), as listFolderBases adds
// each. False when the table filled up (after the limit message).
bool addFoundBase(WorkerShared& table, const std::string& folder, const std::string& name, int16_t kind);

// Drops the newest entry again when an earlier one has the same baseName and baseFolder, byte for
// byte; an earlier entry the user removed from the tree comes back, not read and without the
// bad-format mark. Returns 1.
int dropDuplicateBase(Document& doc);
int dropDuplicateBase(WorkerShared& table);

// The paths of "vireo [PATH...]", in order: a .dbx file is listed as one base of its folder, a
// folder through listFolderBases; anything else is reported by name with the reason. Relative
// paths are made absolute; folders lose their trailing separators. Stops after the limit message.
void listStartPaths(Document& doc, const std::vector<std::string>& paths);

}  // namespace vireo

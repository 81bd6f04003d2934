#pragma once
// Adding bases to the document's table of readers: the .dbx files of a folder, the paths given on
// the command line, and the rule that keeps one entry per file.
#include <cstdint>
#include <string>
#include <vector>

namespace vireo {

class Document;
struct WorkerShared;

inline constexpr const char* kTooManyBasesText = "Number of dbx files >500";

// Whether a file name has the extension ".dbx", in any letter case (as the finder matches it).
bool isBaseFileName(const std::string& name);

// Adds the .dbx files of folder (a folder without a trailing separator, which becomes their
// baseFolder), sorted by name, each followed by dropDuplicateBase. When the table is full a base
// takes a slot freed by a removed one (Document::releaseRemovedReaders); when there is none it
// shows "Number of dbx files >500", sets listingStopped and lists no more.
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

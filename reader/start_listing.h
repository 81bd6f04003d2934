#pragma once
// The bases the window lists at start-up, found off the interface thread: the store folders of
// this user's registries, then the paths of "vireo [PATH...]". The finding thread reads folders
// and base headers and hands each folder's bases over as a list; only the interface thread puts
// them into the table (addFoundBases), so the table changes on one thread as it always did.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vireo {

class Document;

// One base found, with its kind read from its header already.
struct FoundBase {
  std::string folder;
  std::string name;
  int16_t kind = 0;
};

// Walks the store folders, calling listFolder for each one met; stops when it returns false.
// workingFolder is the run's own folder, where hives are copied before they are read.
using StoreFolderSource = std::function<void(const std::string& workingFolder,
                                             const std::function<bool(const std::string& folder)>& listFolder)>;
// Receives each folder's bases on the finding thread; last is set on the final call (whose list
// may be empty).
using FoundBasesSink = std::function<void(std::vector<FoundBase> bases, bool last)>;

// The .dbx files of folder, sorted by name, each with its kind.
std::vector<FoundBase> findFolderBases(const std::string& folder);

// The folder a start path's bases are listed under (the folder itself, or a file's folder), as
// findStartBases names it; empty when the path names neither.
std::string startPathFolder(const std::string& given);

// On the finding thread: the store folders from source (when there is one), then each start
// path as listStartPaths takes it (a path that is neither a folder nor a .dbx file is reported
// by name with the reason). Polls stop between folders; always ends with a last call.
void findStartBases(const StoreFolderSource& source, const std::string& workingFolder,
                    const std::vector<std::string>& paths, const FoundBasesSink& deliver,
                    const std::atomic<bool>& stop);

// On the interface thread: adds the bases in order with the duplicate and limit rules. False
// when the table filled up (the limit message has been shown); nothing is added after that.
bool addFoundBases(Document& doc, const std::vector<FoundBase>& bases);

}  // namespace vireo

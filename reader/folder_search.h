#pragma once
// The search for message bases below a folder (operations 3 and 4), run on the worker thread:
// every folder's own .dbx files are listed first, then its subfolders are searched, depth first.
// Progress and the stop request are looked at only every 102 folders.
#include <string>

#include "reader/worker.h"

namespace vireo {

inline constexpr const char* kSearchingText = "Searching";
inline constexpr const char* kClosingSearchText = "Closing search dbx...";
// Below this many folders under the searched folder the walk goes no deeper.
inline constexpr int kSearchDepthLimit = 64;

// Searches folder (without a trailing separator; empty for the root "/") and the folders below
// it. Returns at once when searchOk is clear or listingStopped is set. Symbolic links to folders
// are not followed, the kernel's, network and FUSE file systems mounted below folder are not
// entered, and a folder that cannot be read yields nothing while the search goes on.
void searchFolder(WorkerShared& shared, const std::string& folder);

}  // namespace vireo

#pragma once
// Store folder discovery: every key whose parent is named "Outlook Express" and that holds
// "Store Root" names a store folder, whose bases join the document's table.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "reader/registry_sources.h"

namespace vireo {

class Document;

// What the walk met, for vireo-cli stores.
struct StoreFolderFound {
  std::string key;          // the key holding "Store Root", from its root: "HKEY_CURRENT_USER\Identities\..."
  std::string origin;       // the hive's files
  std::string storeRoot;    // the value as stored
  std::string windowsPath;  // expanded, one trailing separator removed
  std::string folder;       // the host folder listed; empty when it is on no drive of this machine
};
using StoreFolderObserver = std::function<void(const StoreFolderFound&)>;

// Keys visited in one hive at most; a damaged hive whose keys loop ends there.
inline constexpr size_t kRegistryKeyVisitLimit = 4'000'000;

// Lists the bases of a store folder met; false ends the walk (the table filled up, or the
// listing was stopped).
using StoreFolderLister = std::function<bool(const std::string& folder)>;

struct StoreWalk {
  StoreFolderLister listFolder;
  const RegistryHive& hive;
  StoreFolderObserver observer;
  size_t keysLeft = kRegistryKeyVisitLimit;
  size_t depth = 0;
  std::string keyPath;  // of the key being walked, from the hive's root
  bool stopped = false;  // the lister said no more
};

// The depth-first walk below key, in the hive's enumeration order; name is the key's own name
// (empty for a hive's root). Returns at once when the walk has stopped.
void walkRegistryForStoreRoot(StoreWalk& walk, const RegistryKey* key, std::string_view name);

// Walks HKEY_CURRENT_USER, then HKEY_USERS, listing every store folder met. The current user's
// keys are met twice; dropDuplicateBase keeps one entry per base.
void listDefaultBases(Document& doc, const RegistrySources& sources, const StoreFolderObserver& observer = {});
// The same walk, handing each store folder with a host path to listFolder instead.
void walkStoreFolders(const RegistrySources& sources, const StoreFolderLister& listFolder);

// listDefaultBases over this user's Wine prefix and mounted disks, at once.
void listStoreBasesForUser(Document& doc);
// The window's start-up source: walkStoreFolders over the same registries, run off the interface
// thread.
void findStoreFoldersForUser(const std::string& workingFolder, const StoreFolderLister& listFolder);

}  // namespace vireo

#include "reader/store_discovery.h"

#include "platform/ascii_case.h"
#include "platform/wine_hive.h"
#include "reader/base_listing.h"
#include "reader/document.h"

namespace vireo {
namespace {

void listStoreRoot(StoreWalk& walk, const RegistryKey& key) {
  const std::optional<RegistryValue> value = key.value("Store Root");
  if (!value) return;
  StoreFolderFound found;
  found.storeRoot = value->text();
  found.windowsPath = walk.hive.paths.windowsFolder(found.storeRoot);
  found.folder = walk.hive.paths.storeFolder(found.windowsPath).value_or("");
  found.key = walk.hive.rootName() + walk.keyPath;
  found.origin = walk.hive.origin;
  if (walk.observer) walk.observer(found);
  if (!found.folder.empty() && walk.listFolder && !walk.listFolder(found.folder)) walk.stopped = true;
}

// False when the walk stopped.
bool walkHive(const StoreFolderLister& listFolder, const RegistryHive& hive, const StoreFolderObserver& observer) {
  if (!hive.root) return true;
  StoreWalk walk{listFolder, hive, observer, kRegistryKeyVisitLimit, 0, {}, false};
  walkRegistryForStoreRoot(walk, hive.root.get(), hive.keyName);
  return !walk.stopped;
}

void walkAll(const RegistrySources& sources, const StoreFolderLister& listFolder, const StoreFolderObserver& observer) {
  for (const RegistryHive& hive : sources.currentUser)
    if (!walkHive(listFolder, hive, observer)) return;
  for (const RegistryHive& hive : sources.users)
    if (!walkHive(listFolder, hive, observer)) return;
}

}  // namespace

void walkRegistryForStoreRoot(StoreWalk& walk, const RegistryKey* key, std::string_view name) {
  if (walk.stopped || !key || walk.depth >= kRegistryDepthLimit) return;
  const bool storeParent = equalsIgnoringAsciiCase(name, "Outlook Express");
  const size_t count = key->subkeyCount();
  for (size_t i = 0; i < count && walk.keysLeft > 0; ++i) {
    --walk.keysLeft;
    const std::unique_ptr<RegistryKey> subkey = key->subkey(i);
    if (!subkey) continue;
    const std::string subName = subkey->name();
    const size_t pathLength = walk.keyPath.size();
    walk.keyPath += "\\" + subName;
    // Checked before each listing too: once the table is full, the limit message is shown once.
    if (storeParent && !walk.stopped) listStoreRoot(walk, *subkey);
    ++walk.depth;
    walkRegistryForStoreRoot(walk, subkey.get(), subName);
    --walk.depth;
    walk.keyPath.resize(pathLength);
    if (walk.stopped) return;
  }
}

void listDefaultBases(Document& doc, const RegistrySources& sources, const StoreFolderObserver& observer) {
  if (doc.listingStopped) return;
  walkAll(sources, [&doc](const std::string& folder) {
    listFolderBases(doc, folder);
    return !doc.listingStopped;
  }, observer);
}

void walkStoreFolders(const RegistrySources& sources, const StoreFolderLister& listFolder) {
  walkAll(sources, listFolder, {});
}

void listStoreBasesForUser(Document& doc) {
  listDefaultBases(doc, findRegistrySources(StoreSearchPlaces::forUser(doc.tempFolder)));
}

void findStoreFoldersForUser(const std::string& workingFolder, const StoreFolderLister& listFolder) {
  walkStoreFolders(findRegistrySources(StoreSearchPlaces::forUser(workingFolder)), listFolder);
}

}  // namespace vireo

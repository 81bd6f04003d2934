// vireo-cli stores: the store folders that discovery finds, where each was named, and the bases
// it lists from them.
#include <cstdio>
#include <memory>

#include "cli/base_kind_name.h"
#include "cli/commands.h"
#include "cli/run_folder.h"
#include "reader/document.h"
#include "reader/store_discovery.h"

namespace vireo::cli {
namespace {

void printStoreFolder(const StoreFolderFound& found) {
  if (found.folder.empty()) std::printf("store folder: %s (on no drive of this machine)\n", found.windowsPath.c_str());
  else std::printf("store folder: %s\n", found.folder.c_str());
  std::printf("  key: %s\n", found.key.c_str());
  std::printf("  from: %s\n", found.origin.c_str());
  std::printf("  Store Root: %s\n", found.storeRoot.c_str());
}

}  // namespace

int runStores(const Arguments& args) {
  if (!args.empty()) return usage();
  RunFolder run;
  const std::unique_ptr<Document> document = run.startDocument();
  if (!document) return 1;
  Document& doc = *document;
  int folders = 0;
  listDefaultBases(doc, findRegistrySources(StoreSearchPlaces::forUser(run.path())), [&](const StoreFolderFound& found) {
    printStoreFolder(found);
    ++folders;
  });
  if (folders == 0) std::printf("no store folders found\n");
  std::printf("bases: %d\n", doc.readerCount.load());
  for (int i = 0; i < doc.readerCount; ++i) {
    const MessageBaseReader& reader = doc.readers[static_cast<size_t>(i)];
    std::printf("%s/%s\t%s\n", reader.baseFolder.c_str(), reader.baseName.c_str(), baseKindName(reader.baseKind));
  }
  return 0;
}

}  // namespace vireo::cli

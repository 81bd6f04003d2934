#include "reader/registry_sources.h"

#include <cstdlib>

#include "platform/mount_table.h"
#include "reader/profile_hives.h"
#include "reader/settings.h"
#include "reader/wine_prefix.h"

namespace vireo {

std::string RegistryHive::rootName() const {
  return keyName.empty() ? std::string("HKEY_CURRENT_USER") : "HKEY_USERS\\" + keyName;
}

StoreSearchPlaces StoreSearchPlaces::forUser(std::string workingFolder) {
  StoreSearchPlaces places;
  places.workingFolder = std::move(workingFolder);
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) places.winePrefix = prefix;
  else if (const std::string home = homeFolder(); !home.empty()) places.winePrefix = home + "/.wine";
  places.mountPoints = localDiskMountPoints();
  return places;
}

RegistrySources findRegistrySources(const StoreSearchPlaces& places) {
  RegistrySources sources;
  if (!places.winePrefix.empty()) addWinePrefixHives(places.winePrefix, sources);
  addProfileHives(places.mountPoints, places.workingFolder, sources);
  return sources;
}

}  // namespace vireo

// Wine's text registry files (user.reg and the like) from any bytes: keys, escapes, hex values
// over continuation lines.
#include <cstdint>
#include <string_view>

#include "fuzz/registry_walk.h"
#include "platform/registry_tree.h"
#include "platform/wine_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vireo::WineHive hive = vireo::parseWineHive(std::string_view(reinterpret_cast<const char*>(data), size));
  vireo::fuzz::walkEveryKey(*vireo::treeRoot(hive.root));
  return 0;
}

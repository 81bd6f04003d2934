// Windows hive files (a profile's NTUSER.DAT) from any bytes, read through the same reader that
// discovery uses, from a memory file.
#include <cstdint>

#include "fuzz/memory_file.h"
#include "fuzz/registry_walk.h"
#include "platform/hive_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vireo::fuzz::MemoryFile file(data, size);
  if (const auto root = vireo::openHiveFile(file.path(), "/tmp")) vireo::fuzz::walkEveryKey(*root);
  return 0;
}

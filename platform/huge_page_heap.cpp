#include "platform/huge_page_heap.h"

#include <gnu/libc-version.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace vireo {
namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kTunable = "glibc.malloc.hugetlb";
// What GLIBC_TUNABLES was before the restart: "-" for unset, else "+" and its value.
constexpr const char* kBefore = "VIREO_TUNABLES_BEFORE";

// "always" or "madvise": a region the allocator advises gets huge pages. glibc has the tunable
// since 2.35; an older one would only start again for nothing.
bool hugePagesOffered() {
  int major = 0;
  int minor = 0;
  if (std::sscanf(gnu_get_libc_version(), "%d.%d", &major, &minor) != 2 || major < 2 || (major == 2 && minor < 35))
    return false;
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text;
  std::getline(mode, text);
  return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

void putBack(const char* before) {
  if (before[0] == '+') ::setenv(kTunables, before + 1, 1);
  else ::unsetenv(kTunables);
  ::unsetenv(kBefore);
}

}  // namespace

std::optional<std::string> hugePageTunables(const char* current) {
  const std::string setting = std::string(kTunable) + "=1";
  if (!current || !*current) return setting;
  if (std::strstr(current, kTunable)) return std::nullopt;
  return std::string(current) + ":" + setting;
}

void restartWithHugePageHeap(const char* program, char** argv) {
  const char* current = std::getenv(kTunables);
  const std::optional<std::string> tunables = hugePageTunables(current);
  if (!tunables) return;
  const std::string before = current ? std::string("+") + current : std::string("-");
  ::setenv(kBefore, before.c_str(), 1);
  ::setenv(kTunables, tunables->c_str(), 1);
  ::execv(program, argv);
  putBack(before.c_str());
}

bool restoreTunablesAfterRestart() {
  const char* before = std::getenv(kBefore);
  if (!before) return false;
  putBack(std::string(before).c_str());
  return true;
}

void preferHugePageHeap(char** argv, uint64_t largestBase) {
  if (restoreTunablesAfterRestart()) return;
  if (largestBase < kHugePageHeapWorthBytes || !argv || !argv[0] || !hugePagesOffered()) return;
  restartWithHugePageHeap("/proc/self/exe", argv);
}

}  // namespace vireo

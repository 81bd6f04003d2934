#include "platform/huge_page_heap.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/dbx_writer/scratch_dir.h"

namespace vireo {
namespace {

TEST(HugePageHeap, TheTunableIsAddedToTheUsersOwnAndNeverOverridesIt) {
  EXPECT_EQ(hugePageTunables(nullptr), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(hugePageTunables(""), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(hugePageTunables("glibc.malloc.arena_max=2"), "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
  EXPECT_EQ(hugePageTunables("glibc.malloc.hugetlb=0"), std::nullopt);
  EXPECT_EQ(hugePageTunables("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2"), std::nullopt);
}

// What the program started again sees, and what it leaves for the programs it starts.
std::string restartedEnvironment(const char* tunablesBefore, const testing::ScratchDir& folder) {
  const std::string out = folder.file("environment");
  const pid_t child = ::fork();
  if (child == 0) {
    if (tunablesBefore) ::setenv("GLIBC_TUNABLES", tunablesBefore, 1);
    else ::unsetenv("GLIBC_TUNABLES");
    const std::string script = "printf '%s|%s' \"${GLIBC_TUNABLES-unset}\" \"$VIREO_TUNABLES_BEFORE\" > '" + out + "'";
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()), nullptr};
    restartWithHugePageHeap("/bin/sh", argv);
    ::_exit(99);  // the restart failed
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "failed";
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HugePageHeap, TheRestartCarriesTheTunableAndWhatWasBefore) {
  testing::ScratchDir folder;
  EXPECT_EQ(restartedEnvironment(nullptr, folder), "glibc.malloc.hugetlb=1|-");
  EXPECT_EQ(restartedEnvironment("glibc.malloc.arena_max=2", folder),
            "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1|+glibc.malloc.arena_max=2");
}

TEST(HugePageHeap, TheRestartedProgramPutsTheEnvironmentBack) {
  const char* saved = std::getenv("GLIBC_TUNABLES");
  const std::string keep = saved ? saved : "";
  EXPECT_FALSE(restoreTunablesAfterRestart());  // not started again

  ::setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 1);
  ::setenv("VIREO_TUNABLES_BEFORE", "-", 1);
  EXPECT_TRUE(restoreTunablesAfterRestart());
  EXPECT_EQ(std::getenv("GLIBC_TUNABLES"), nullptr);
  EXPECT_EQ(std::getenv("VIREO_TUNABLES_BEFORE"), nullptr);

  ::setenv("GLIBC_TUNABLES", "a=1:glibc.malloc.hugetlb=1", 1);
  ::setenv("VIREO_TUNABLES_BEFORE", "+a=1", 1);
  EXPECT_TRUE(restoreTunablesAfterRestart());
  ASSERT_NE(std::getenv("GLIBC_TUNABLES"), nullptr);
  EXPECT_STREQ(std::getenv("GLIBC_TUNABLES"), "a=1");

  if (saved) ::setenv("GLIBC_TUNABLES", keep.c_str(), 1);
  else ::unsetenv("GLIBC_TUNABLES");
}

}  // namespace
}  // namespace vireo

// vireo-cli stores, run as a user runs it, over a Wine prefix named by WINEPREFIX.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Sets WINEPREFIX for the runs of one test.
class WinePrefixVariable {
 public:
  explicit WinePrefixVariable(const std::string& prefix) { ::setenv("WINEPREFIX", prefix.c_str(), 1); }
  ~WinePrefixVariable() { ::unsetenv("WINEPREFIX"); }
};

TEST(CliStores, PrintsEachStoreFolderWhereItWasNamedAndTheBasesOnce) {
  ScratchDir dir;
  const fs::path prefix = fs::path(dir.path()) / "prefix";
  const fs::path store = prefix / "drive_c" / "Mail";
  fs::create_directories(store);
  fs::create_directories(prefix / "dosdevices");
  fs::create_symlink("../drive_c", prefix / "dosdevices" / "c:");
  DbxWriter writer;
  writer.add(simpleMessage("hello"));
  writer.build().save((store / "Inbox.dbx").string());
  std::ofstream(prefix / "user.reg") << "WINE REGISTRY Version 2\n"
                                        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                                        "[Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1700000000\n"
                                        "\"Store Root\"=\"C:\\\\mail\\\\\"\n";
  const WinePrefixVariable variable(prefix.string());
  const CliResult result = runCli({"stores"}, dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("store folder: " + store.string() + "\n"
                                    "  key: HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express\\5.0\n"
                                    "  from: Wine prefix " + prefix.string() + " (user.reg)\n"
                                    "  Store Root: C:\\mail\\\n"));
  EXPECT_THAT(result.out, HasSubstr("  key: HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Outlook Express\\5.0\n"));
  EXPECT_THAT(result.out, HasSubstr("bases: 1\n" + store.string() + "/Inbox.dbx\tmail\n"));
}

TEST(CliStores, SaysSoWhenThereIsNoStore) {
  ScratchDir dir;
  const WinePrefixVariable variable(dir.path() + "/none");
  const CliResult result = runCli({"stores"}, dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("no store folders found\nbases: 0\n"));
  EXPECT_EQ(runCli({"stores", "extra"}, dir.path()).status, 2);
}

}  // namespace
}  // namespace vireo::testing

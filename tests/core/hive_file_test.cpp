// Windows hive files read through hivex: keys by path in any letter case, values with the type
// the file holds, whatever it is.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/hive_file.h"
#include "platform/registry_tree.h"
#include "tests/core/hive_maker.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

TEST(HiveFile, ReadsKeysAndValuesOfAnyType) {
  ScratchDir folder;
  const std::string path = folder.file("NTUSER.DAT");
  const uint32_t unlisted = 0x4E000001;  // no type hivex names: a damaged or foreign hive's
  ASSERT_TRUE(writeHive(path, {{"Software\\Microsoft\\Outlook Express",
                                {{"Store Root", stringValue("%UserProfile%\\Mail", RegistryType::expandableString)},
                                 {"Odd", RegistryValue{unlisted, "\x01\x02\x03"}}}}}));
  ScratchDir working;
  const std::unique_ptr<RegistryKey> root = openHiveFile(path, working.path());
  ASSERT_TRUE(root);
  // Read through a copy that is gone once hivex holds it.
  EXPECT_TRUE(std::filesystem::is_empty(working.path()));
  const std::unique_ptr<RegistryKey> key = findKeyPath(*root, "software\\MICROSOFT\\outlook express");
  ASSERT_TRUE(key);
  const std::optional<RegistryValue> store = key->value("Store Root");
  ASSERT_TRUE(store);
  EXPECT_EQ(store->type, static_cast<uint32_t>(RegistryType::expandableString));
  EXPECT_EQ(store->text(), "%UserProfile%\\Mail");
  const std::optional<RegistryValue> odd = key->value("Odd");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->type, unlisted);
  EXPECT_EQ(odd->data, "\x01\x02\x03");
}

TEST(HiveFile, RefusesWhatIsNoHiveOrCannotBeReadWhole) {
  ScratchDir folder;
  ScratchDir working;
  EXPECT_FALSE(openHiveFile(folder.file("missing"), working.path()));
  writeEmptyHive(folder.file("cut"));
  std::filesystem::resize_file(folder.file("cut"), 100);
  EXPECT_FALSE(openHiveFile(folder.file("cut"), working.path()));
  // Not regular files: nothing is read from them.
  std::filesystem::create_directory(folder.file("folder"));
  EXPECT_FALSE(openHiveFile(folder.file("folder"), working.path()));
  ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(openHiveFile(folder.file("fifo"), working.path()));
  // Larger than any hive: refused before a byte is copied (the file is sparse).
  writeEmptyHive(folder.file("huge"));
  std::filesystem::resize_file(folder.file("huge"), kHiveFileSizeLimit + 1);
  EXPECT_FALSE(openHiveFile(folder.file("huge"), working.path()));
  // A good hive with nowhere to copy it to is not read either: the disk is never mapped.
  writeEmptyHive(folder.file("good"));
  EXPECT_TRUE(openHiveFile(folder.file("good"), working.path()));
  EXPECT_FALSE(openHiveFile(folder.file("good"), working.file("missing")));
  EXPECT_FALSE(openHiveFile(folder.file("good"), ""));
  EXPECT_TRUE(std::filesystem::is_empty(working.path()));
}

}  // namespace
}  // namespace vireo::testing

// Windows hive files read through hivex: keys by path in any letter case, values with the type
// the file holds, whatever it is.
#include <gtest/gtest.h>

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
  const std::unique_ptr<RegistryKey> root = openHiveFile(path);
  ASSERT_TRUE(root);
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

TEST(HiveFile, RefusesWhatIsNoHive) {
  ScratchDir folder;
  EXPECT_FALSE(openHiveFile(folder.file("missing")));
  writeEmptyHive(folder.file("cut"));
  std::filesystem::resize_file(folder.file("cut"), 100);
  EXPECT_FALSE(openHiveFile(folder.file("cut")));
}

}  // namespace
}  // namespace vireo::testing

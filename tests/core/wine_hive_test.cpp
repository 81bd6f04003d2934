// Wine's text registry files: keys, the value forms, escapes, continuation lines, and garbage.
#include <gtest/gtest.h>

#include <random>

#include "platform/registry_tree.h"
#include "platform/wine_hive.h"

namespace vireo::testing {
namespace {

std::optional<RegistryValue> valueAt(const WineHive& hive, std::string_view path, std::string_view name) {
  const auto key = findKeyPath(*treeRoot(hive.root), path);
  if (!key) return std::nullopt;
  return key->value(name);
}

std::string textAt(const WineHive& hive, std::string_view path, std::string_view name) {
  const auto value = valueAt(hive, path, name);
  return value ? value->text() : "<missing>";
}

TEST(WineHive, ReadsKeysAndEveryValueForm) {
  const WineHive hive = parseWineHive(
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n"
      "\n"
      "#arch=win64\n"
      "\n"
      "[Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1700000000\n"
      "#time=1d9a0b2c3d4e5f6\n"
      "@=\"the default\"\n"
      "\"Store Root\"=str(2):\"%UserProfile%\\\\Local Settings\\\\Outlook Express\"\n"
      "\"Flags\"=dword:0000002a\n"
      "\"Blob\"=hex:01,02,ff\n"
      "\"Plain\"=\"C:\\\\Mail\\\\\"\n");
  EXPECT_EQ(hive.relativeTo, "\\User\\S-1-5-21-1-2-3-1000");
  const std::string key = "Software\\Microsoft\\Outlook Express\\5.0";
  EXPECT_EQ(textAt(hive, key, ""), "the default");
  const auto storeRoot = valueAt(hive, key, "store root");  // names ignore case
  ASSERT_TRUE(storeRoot);
  EXPECT_EQ(storeRoot->type, static_cast<uint32_t>(RegistryType::expandableString));
  EXPECT_EQ(storeRoot->text(), "%UserProfile%\\Local Settings\\Outlook Express");
  EXPECT_EQ(valueAt(hive, key, "Flags")->data, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(valueAt(hive, key, "Blob")->data, "\x01\x02\xff");
  EXPECT_EQ(valueAt(hive, key, "Blob")->type, static_cast<uint32_t>(RegistryType::binary));
  EXPECT_EQ(textAt(hive, key, "Plain"), "C:\\Mail\\");
  EXPECT_EQ(textAt(hive, "SOFTWARE\\microsoft\\OUTLOOK EXPRESS\\5.0", "Plain"), "C:\\Mail\\");
}

TEST(WineHive, DecodesEscapes) {
  const WineHive hive = parseWineHive(
      "[K]\n"
      "\"quote \\\"in\\\" name\"=\"tab\\there\\nline\"\n"
      "\"euro\"=\"\\x20ac and \\x20acd\"\n"
      "\"octal\"=\"\\101\\0102\"\n"
      "\"utf8\"=\"caf\xc3\xa9\"\n"
      "\"brackets\"=\"\\[x\\]\"\n");
  EXPECT_EQ(textAt(hive, "K", "quote \"in\" name"), "tab\there\nline");
  // At most four hex digits: the fifth is text.
  EXPECT_EQ(textAt(hive, "K", "euro"), "\xe2\x82\xac and \xe2\x82\xac" "d");
  EXPECT_EQ(textAt(hive, "K", "octal"), "A\x08" "2");
  EXPECT_EQ(textAt(hive, "K", "utf8"), "caf\xc3\xa9");
  EXPECT_EQ(textAt(hive, "K", "brackets"), "[x]");
}

TEST(WineHive, JoinsHexContinuationLinesOfAnExpandableString) {
  // "%AppData%\Id" in UTF-16LE, split over three lines as Wine writes long values.
  const WineHive hive = parseWineHive(
      "[Identities\\\\{GUID}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0]\n"
      "\"Store Root\"=hex(2):25,00,41,00,70,00,70,00,44,00,61,00,74,00,61,00,25,00,\\\n"
      "  5c,00,49,00,\\\n"
      "  64,00,00,00\n"
      "\"After\"=dword:00000001\n");
  const std::string key = "Identities\\{GUID}\\Software\\Microsoft\\Outlook Express\\5.0";
  const auto value = valueAt(hive, key, "Store Root");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<uint32_t>(RegistryType::expandableString));
  EXPECT_EQ(value->text(), "%AppData%\\Id");
  EXPECT_TRUE(valueAt(hive, key, "After")) << "the line after the continuation is read again";
}

TEST(WineHive, LaterLinesReplaceAndDeleteValuesAndKeysMerge) {
  const WineHive hive = parseWineHive(
      "[A\\\\B]\n\"v\"=\"one\"\n\"gone\"=\"x\"\n"
      "[a\\\\b] 123\n\"V\"=\"two\"\n\"gone\"=-\n");
  EXPECT_EQ(textAt(hive, "A\\B", "v"), "two");
  EXPECT_FALSE(valueAt(hive, "A\\B", "gone"));
  EXPECT_EQ(hive.root->keyCount(), 3u);
}

TEST(WineHive, SkipsGarbageLinesAndKeepsTheRest) {
  const WineHive hive = parseWineHive(
      "\"before any key\"=\"dropped\"\n"
      "[Unclosed\\\\key\n"
      "\"orphan of a broken key\"=\"dropped\"\n"
      "[Good]\n"
      "\"unterminated=\"x\n"
      "\"bad dword\"=dword:xyz\n"
      "\"long dword\"=dword:123456789\n"
      "\"bad hex\"=hex:1,2g\n"
      "\"bad type\"=hex(zz):00\n"
      "\"no equals\" \"x\"\n"
      "garbage \x01\xff line\r\n"
      "\"ok\"=\"kept\"\r\n"
      "\"dangling\"=hex:01,\\\n");
  EXPECT_EQ(textAt(hive, "Good", "ok"), "kept");
  const auto good = findKeyPath(*treeRoot(hive.root), "Good");
  ASSERT_TRUE(good);
  EXPECT_EQ(good->valueNames().size(), 2u);  // "ok" and the dangling hex value, ended by the file
  EXPECT_EQ(hive.root->keyCount(), 2u);
}

TEST(WineHive, IgnoresKeysNestedBeyondTheDepthLimit) {
  std::string deep = "[";
  for (size_t i = 0; i <= kRegistryDepthLimit; ++i) deep += "k\\\\";
  const WineHive hive = parseWineHive(deep + "]\n\"v\"=\"x\"\n[fine]\n");
  EXPECT_EQ(hive.root->keyCount(), 2u);
}

TEST(WineHive, SurvivesRandomBytes) {
  std::mt19937 random(7);
  const std::string alphabet = "[]\\\"=@:,-x0123456789abcdefhexstrdword()#; \n\r\t\x80\xff";
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const size_t length = random() % 2000;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    const WineHive hive = parseWineHive(text);
    EXPECT_GE(hive.root->keyCount(), 1u);
  }
}

}  // namespace
}  // namespace vireo::testing

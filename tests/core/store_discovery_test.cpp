// Store folder discovery over a Wine prefix and Windows profile hives built by each test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/registry_tree.h"
#include "reader/document.h"
#include "reader/store_discovery.h"
#include "tests/core/base_fixture.h"
#include "tests/core/hive_maker.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kUserKey = "S-1-5-21-1-2-3-1000";
constexpr const char* kIdentityStore =
    "Local Settings\\Application Data\\Identities\\{4F1C}\\Microsoft\\Outlook Express";

void writeBases(const fs::path& folder, std::initializer_list<const char*> names) {
  fs::create_directories(folder);
  for (const char* name : names) {
    DbxWriter writer;
    writer.add(simpleMessage(name));
    writer.build().save((folder / name).string());
  }
}

void writeText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// Backslashes doubled, as Wine writes them inside quotes and brackets.
std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// A Wine prefix: drive_c with the user "ann" (named in system.reg's ProfileList), dosdevices
// links, and a user.reg holding the given keys.
struct WinePrefix {
  ScratchDir dir;
  fs::path prefix = fs::path(dir.path()) / "prefix";
  fs::path profile = prefix / "drive_c" / "users" / "ann";
  std::string userReg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\" + std::string(kUserKey) + "\n\n";

  WinePrefix() {
    fs::create_directories(profile);
    fs::create_directories(prefix / "dosdevices");
    fs::create_symlink("../drive_c", prefix / "dosdevices" / "c:");
    writeText(prefix / "system.reg",
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
              "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\" + std::string(kUserKey) +
                  "] 1700000000\n"
                  "\"ProfileImagePath\"=str(2):\"%SystemDrive%\\\\users\\\\ann\"\n");
  }
  // A key below HKEY_CURRENT_USER with a "Store Root" value written as given.
  void storeKey(const std::string& key, const std::string& storeRoot) {
    userReg += "[" + escaped(key) + "] 1700000000\n#time=1d9a0b2c3d4e5f6\n\"Store Root\"=str(2):\"" +
               escaped(storeRoot) + "\"\n\n";
  }
  void identityStore(const std::string& guid, const std::string& storeRoot) {
    storeKey("Identities\\" + guid + "\\Software\\Microsoft\\Outlook Express\\5.0", storeRoot);
  }
  StoreSearchPlaces places() {
    writeText(prefix / "user.reg", userReg);
    return StoreSearchPlaces{prefix.string(), {}, {}};
  }
};

struct DiscoveryFixture {
  ScratchDir temp;
  CapturedMessages shown;
  Document doc{setup()};
  std::vector<StoreFolderFound> found;

  DocumentSetup setup() const {
    DocumentSetup s;
    s.fallbackTempFolder = temp.file("temp");
    s.exportFolder = temp.file("export");
    return s;
  }
  void list(StoreSearchPlaces places) {
    if (places.workingFolder.empty()) places.workingFolder = doc.tempFolder;
    listDefaultBases(doc, findRegistrySources(places), [this](const StoreFolderFound& f) { found.push_back(f); });
  }
  const MessageBaseReader& at(int i) const { return doc.readers[static_cast<size_t>(i)]; }
  std::vector<std::string> bases() const {
    std::vector<std::string> out;
    for (int i = 0; i < doc.readerCount; ++i) out.push_back(at(i).baseFolder + "|" + at(i).baseName);
    return out;
  }
  void fillTo(int count) { fillReaderTable(doc.shared(), count); }
};

TEST(WinePrefixStores, AnIdentityStoreIsListedOnceThoughTheUserIsMetTwice) {
  WinePrefix wine;
  const fs::path store = wine.profile / "Local Settings" / "Application Data" / "Identities" / "{4F1C}" /
                         "Microsoft" / "Outlook Express";
  writeBases(store, {"Sent Items.dbx", "Inbox.dbx"});
  // Written in other letter cases than the disk's: Windows paths ignore case.
  wine.identityStore("{4F1C}", "%USERPROFILE%\\LOCAL SETTINGS\\application data\\Identities\\{4f1c}\\Microsoft\\Outlook Express");
  DiscoveryFixture f;
  f.list(wine.places());

  EXPECT_THAT(f.bases(), ElementsAre(store.string() + "|Inbox.dbx", store.string() + "|Sent Items.dbx"));
  EXPECT_EQ(f.at(0).baseKind, 1);
  ASSERT_EQ(f.found.size(), 2u);
  EXPECT_EQ(f.found[0].key, "HKEY_CURRENT_USER\\Identities\\{4F1C}\\Software\\Microsoft\\Outlook Express\\5.0");
  EXPECT_EQ(f.found[1].key, std::string("HKEY_USERS\\") + kUserKey +
                                "\\Identities\\{4F1C}\\Software\\Microsoft\\Outlook Express\\5.0");
  EXPECT_EQ(f.found[0].windowsPath,
            "C:\\users\\ann\\LOCAL SETTINGS\\application data\\Identities\\{4f1c}\\Microsoft\\Outlook Express");
  EXPECT_EQ(f.found[0].folder, store.string());
  EXPECT_THAT(f.shown.texts, IsEmpty());
}

TEST(WinePrefixStores, VariablesComeFromThePrefixAndDrivesFromItsLinks) {
  WinePrefix wine;
  ScratchDir elsewhere;
  fs::create_symlink(elsewhere.path(), wine.prefix / "dosdevices" / "d:");
  writeBases(wine.profile / "AppData" / "Roaming" / "OE", {"Inbox.dbx"});
  writeBases(fs::path(elsewhere.path()) / "Mail", {"Outbox.dbx"});
  writeBases(wine.prefix / "drive_c" / "windows" / "OE", {"Folders.dbx"});
  wine.userReg += "[Environment]\n\"MAILDIR\"=str(2):\"D:\\\\Mail\"\n\n";
  wine.storeKey("Software\\Microsoft\\Outlook Express\\A", "%AppData%\\OE");
  wine.storeKey("Software\\Microsoft\\Outlook Express\\B", "%MailDir%");
  wine.storeKey("Software\\Microsoft\\Outlook Express\\C", "%WinDir%\\OE\\");
  wine.storeKey("Software\\Microsoft\\Outlook Express\\D", "%NoSuchVariable%\\OE");
  DiscoveryFixture f;
  f.list(wine.places());

  EXPECT_THAT(f.bases(), ElementsAre((wine.profile / "AppData" / "Roaming" / "OE").string() + "|Inbox.dbx",
                                     elsewhere.path() + "/Mail|Outbox.dbx",
                                     (wine.prefix / "drive_c" / "windows" / "OE").string() + "|Folders.dbx"));
  ASSERT_GE(f.found.size(), 4u);
  EXPECT_EQ(f.found[2].windowsPath, "C:\\windows\\OE") << "one trailing separator is removed";
  EXPECT_EQ(f.found[3].folder, "") << "a path without a drive is on no drive";
  EXPECT_THAT(f.shown.texts, IsEmpty());
}

TEST(WinePrefixStores, OnlySubkeysOfAKeyNamedOutlookExpressAreStores) {
  WinePrefix wine;
  writeBases(wine.profile / "Store", {"Inbox.dbx"});
  wine.storeKey("Software\\Microsoft\\Outlook Express", "C:\\users\\ann\\Store");
  wine.storeKey("Software\\Microsoft\\Outlook\\5.0", "C:\\users\\ann\\Store");
  DiscoveryFixture f;
  f.list(wine.places());
  EXPECT_EQ(f.doc.readerCount, 0);

  WinePrefix lower;
  writeBases(lower.profile / "Store", {"Inbox.dbx"});
  lower.storeKey("Software\\Microsoft\\OUTLOOK express\\5.0", "C:\\users\\ann\\Store");
  DiscoveryFixture g;
  g.list(lower.places());
  EXPECT_EQ(g.doc.readerCount, 1);
}

TEST(WinePrefixStores, ARemovedBaseComesBackNotRead) {
  WinePrefix wine;
  writeBases(wine.profile / "Store", {"Inbox.dbx", "Outbox.dbx"});
  wine.storeKey("Software\\Microsoft\\Outlook Express\\5.0", "C:\\users\\ann\\Store\\");
  const StoreSearchPlaces places = wine.places();
  DiscoveryFixture f;
  f.list(places);
  ASSERT_EQ(f.doc.readerCount, 2);
  EXPECT_EQ(f.at(0).baseFolder, (wine.profile / "Store").string());
  f.doc.readers[1].removed = true;
  f.doc.readers[1].browseFailed = true;

  f.list(places);
  EXPECT_EQ(f.doc.readerCount, 2);
  EXPECT_FALSE(f.at(1).removed);
  EXPECT_FALSE(f.at(1).browseFailed);
}

TEST(WinePrefixStores, AFullTableShowsTheLimitOnceAndStaysAsItWas) {
  WinePrefix wine;
  writeBases(wine.profile / "One", {"Inbox.dbx"});
  writeBases(wine.profile / "Two", {"Inbox.dbx"});
  // Two identities under one "Outlook Express" key's parent: both stores are siblings.
  wine.storeKey("Software\\Microsoft\\Outlook Express\\5.0", "C:\\users\\ann\\One");
  wine.storeKey("Software\\Microsoft\\Outlook Express\\6.0", "C:\\users\\ann\\Two");
  DiscoveryFixture f;
  f.fillTo(kReaderTableSize);
  f.list(wine.places());
  EXPECT_THAT(f.shown.texts, ElementsAre("Number of dbx files >500"));
  EXPECT_EQ(f.doc.readerCount, kReaderTableSize);
  EXPECT_EQ(f.at(kReaderTableSize - 1).baseName, "filler499.dbx");
  EXPECT_TRUE(f.doc.listingStopped);
}

TEST(WinePrefixStores, AStoreThatExactlyFillsTheTableIsMetAgainWithoutTheLimitMessage) {
  WinePrefix wine;
  writeBases(wine.profile / "Store", {"Inbox.dbx"});
  wine.storeKey("Software\\Microsoft\\Outlook Express\\5.0", "C:\\users\\ann\\Store");
  DiscoveryFixture f;
  f.fillTo(kReaderTableSize - 1);
  f.list(wine.places());
  EXPECT_EQ(f.doc.readerCount, kReaderTableSize);
  EXPECT_THAT(f.shown.texts, IsEmpty());
  EXPECT_FALSE(f.doc.listingStopped);
}

// Proton's prefixes name their user "steamuser" whatever the login, and say so only in the
// user's own hive; their system.reg lists no profile.
TEST(WinePrefixStores, TheProfileWineRecordedInUserRegComesBeforeTheLoginName) {
  WinePrefix wine;
  writeText(wine.prefix / "system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n");
  const fs::path steam = wine.prefix / "drive_c" / "users" / "steamuser";
  writeBases(steam / "Mail", {"Inbox.dbx"});
  wine.userReg += "[Volatile Environment] 1700000000\n\"USERNAME\"=\"steamuser\"\n"
                  "\"USERPROFILE\"=\"C:\\\\users\\\\steamuser\"\n\n";
  wine.storeKey("Software\\Microsoft\\Outlook Express\\5.0", "%UserProfile%\\Mail");
  DiscoveryFixture f;
  f.list(wine.places());
  EXPECT_THAT(f.bases(), ElementsAre((steam / "Mail").string() + "|Inbox.dbx"));
  ASSERT_FALSE(f.found.empty());
  EXPECT_EQ(f.found[0].windowsPath, "C:\\users\\steamuser\\Mail");
}

// A prefix copied from another machine keeps the old user's name in its store paths, while its
// folder on disk may carry another.
TEST(WinePrefixStores, AStoreFolderMissingFromItsProfileIsFoundInTheOtherProfiles) {
  WinePrefix wine;
  const fs::path store = wine.profile / "Local Settings" / "Application Data" / "Identities" / "{4F1C}" /
                         "Microsoft" / "Outlook Express";
  writeBases(store, {"Inbox.dbx"});
  // Sorted before "ann", and without the store: passed over.
  fs::create_directories(wine.prefix / "drive_c" / "users" / "Public");
  wine.identityStore("{4F1C}", std::string("C:\\Users\\bob\\") + kIdentityStore);
  // Found nowhere: listed as written, which lists nothing.
  wine.storeKey("Software\\Microsoft\\Outlook Express\\Gone", "C:\\users\\bob\\Gone");
  DiscoveryFixture f;
  f.list(wine.places());
  EXPECT_THAT(f.bases(), ElementsAre(store.string() + "|Inbox.dbx"));
  ASSERT_EQ(f.found.size(), 4u);
  EXPECT_EQ(f.found[0].folder, store.string());
  EXPECT_EQ(f.found[1].storeRoot, "C:\\users\\bob\\Gone");
  EXPECT_EQ(f.found[1].folder, (wine.prefix / "drive_c" / "users" / "bob" / "Gone").string());
}

TEST(StoreSources, NoSourceListsNothingAndSaysNothing) {
  ScratchDir empty;
  DiscoveryFixture f;
  f.list(StoreSearchPlaces{});
  f.list(StoreSearchPlaces{empty.path() + "/no-prefix", {empty.path()}, {}});
  writeText(fs::path(empty.path()) / "broken" / "user.reg", "not a registry\n");
  f.list(StoreSearchPlaces{empty.path() + "/broken", {}, {}});
  EXPECT_EQ(f.doc.readerCount, 0);
  EXPECT_THAT(f.found, IsEmpty());
  EXPECT_THAT(f.shown.texts, IsEmpty());
}

RegistryValue expandable(const std::string& text) { return stringValue(text, RegistryType::expandableString); }

TEST(ProfileHiveStores, AProfileOnAMountedDiskResolvesToThatDisk) {
  ScratchDir disk;
  const fs::path profile = fs::path(disk.path()) / "Documents and Settings" / "Ann";
  const fs::path store = profile / "Local Settings" / "Application Data" / "Identities" / "{4F1C}" / "Microsoft" /
                         "Outlook Express";
  writeBases(store, {"Inbox.dbx"});
  writeBases(fs::path(disk.path()) / "Mail", {"Old.dbx"});
  fs::create_directories(profile / "Application Data");
  ASSERT_TRUE(writeHive(
      (profile / "NTUSER.DAT").string(),
      {{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        {{"AppData", stringValue("D:\\Documents and Settings\\Ann\\Application Data")}}},
       {"Identities\\{4F1C}\\Software\\Microsoft\\Outlook Express\\5.0",
        {{"Store Root", expandable(std::string("%UserProfile%\\") + kIdentityStore)}}},
       {"Software\\Microsoft\\Outlook Express\\Old", {{"Store Root", stringValue("d:\\mail")}}}}));
  // A damaged hive beside it is passed over without a word.
  writeText(fs::path(disk.path()) / "Users" / "Bob" / "NTUSER.DAT", "regf but nothing else");

  DiscoveryFixture f;
  f.list(StoreSearchPlaces{"", {disk.path()}, {}});
  EXPECT_THAT(f.bases(), ElementsAre(store.string() + "|Inbox.dbx", disk.path() + "/Mail|Old.dbx"));
  ASSERT_EQ(f.found.size(), 2u);
  EXPECT_EQ(f.found[0].key, "HKEY_USERS\\Ann\\Identities\\{4F1C}\\Software\\Microsoft\\Outlook Express\\5.0");
  EXPECT_EQ(f.found[0].origin, (profile / "NTUSER.DAT").string());
  EXPECT_EQ(f.found[0].windowsPath, std::string("D:\\Documents and Settings\\Ann\\") + kIdentityStore);
  EXPECT_THAT(f.shown.texts, IsEmpty());
}

TEST(ProfileHiveStores, AppDataIsTheFolderTheProfileHas) {
  ScratchDir disk;
  const fs::path profile = fs::path(disk.path()) / "Users" / "ann";
  writeBases(profile / "AppData" / "Roaming" / "OE", {"Inbox.dbx"});
  ASSERT_TRUE(writeHive((profile / "ntuser.dat").string(),
                        {{"Software\\Microsoft\\Outlook Express\\5.0", {{"Store Root", expandable("%APPDATA%\\OE")}}}}));
  DiscoveryFixture f;
  f.list(StoreSearchPlaces{"", {disk.path()}, {}});
  EXPECT_THAT(f.bases(), ElementsAre((profile / "AppData" / "Roaming" / "OE").string() + "|Inbox.dbx"));
}

}  // namespace
}  // namespace vireo::testing

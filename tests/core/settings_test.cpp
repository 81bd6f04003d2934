// The settings file, the user's folders, and the private temp folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "reader/settings.h"
#include "reader/temp_folder.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

// Points HOME and the XDG folders into a scratch folder for one test.
class UserEnvironment {
 public:
  UserEnvironment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    ::setenv("HOME", home.path().c_str(), 1);
  }
  ~UserEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name, value->c_str(), 1);
      else ::unsetenv(name);
    }
  }
  ScratchDir home;

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                           "XDG_RUNTIME_DIR"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

mode_t modeOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(Settings, ReadsPathAndOptionBits) {
  ScratchDir dir;
  std::ofstream(dir.file("a.conf")) << "[Vireo]\n# comment\nPath = /srv/mail \r\noptions=3\nother=1\n";
  const Settings a = readSettings(dir.file("a.conf"));
  EXPECT_EQ(a.path, "/srv/mail");
  EXPECT_EQ(a.options, 3u);

  std::ofstream(dir.file("b.conf")) << "options=many\n";
  const Settings b = readSettings(dir.file("b.conf"));
  EXPECT_FALSE(b.path);
  EXPECT_FALSE(b.options);
  EXPECT_FALSE(readSettings(dir.file("missing.conf")).options);
  EXPECT_EQ(optionBits(true, true, false), 3u);
  EXPECT_EQ(optionBits(false, false, true), 4u);
}

TEST(Settings, WriteMakesTheFolderAndReadsBack) {
  ScratchDir dir;
  const std::string file = dir.file("config/Vireo/Vireo.conf");
  ASSERT_TRUE(writeSettings(file, Settings{"/data/vireo", 5u}));
  Settings read = readSettings(file);
  EXPECT_EQ(read.path, "/data/vireo");
  EXPECT_EQ(read.options, 5u);
  read.options = 2u;
  read.listShare = 420u;
  ASSERT_TRUE(writeSettings(file, read));
  EXPECT_EQ(readSettings(file).options, 2u);
  EXPECT_EQ(readSettings(file).path, "/data/vireo");
  EXPECT_EQ(readSettings(file).listShare, 420u);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.file("config/Vireo"))) ++entries;
  EXPECT_EQ(entries, 1);  // no temporary file left beside it
}

TEST(UserFolders, FollowXdgVariablesAndFallBackToHome) {
  UserEnvironment env;
  const std::string home = env.home.path();
  EXPECT_EQ(settingsFilePath(), home + "/.config/Vireo/Vireo.conf");
  EXPECT_EQ(defaultExportFolder(), home + "/Backup");
  fs::create_directory(home + "/Documents");
  EXPECT_EQ(defaultExportFolder(), home + "/Documents/Vireo");

  ::setenv("XDG_CONFIG_HOME", (home + "/cfg").c_str(), 1);
  fs::create_directory(home + "/cfg");
  std::ofstream(home + "/cfg/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                 "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
  EXPECT_EQ(settingsFilePath(), home + "/cfg/Vireo/Vireo.conf");
  EXPECT_EQ(defaultExportFolder(), home + "/Papers/Vireo");

  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(settingsFilePath(), home + "/.config/Vireo/Vireo.conf");
}

TEST(TempFolder, IsMadePrivate) {
  UserEnvironment env;
  const std::string folder = env.home.file("work/Temp");
  ASSERT_EQ(makePrivateFolder(folder), 0);
  EXPECT_EQ(modeOf(folder), 0700u);

  fs::create_directory(env.home.file("open"));
  fs::permissions(env.home.file("open"), fs::perms(0755));
  ASSERT_EQ(makePrivateFolder(env.home.file("open")), 0);
  EXPECT_EQ(modeOf(env.home.file("open")), 0700u);
}

TEST(TempFolder, RefusesALinkOrAFile) {
  ScratchDir dir;
  fs::create_directory(dir.file("elsewhere"));
  fs::permissions(dir.file("elsewhere"), fs::perms(0755));
  fs::create_directory_symlink(dir.file("elsewhere"), dir.file("link"));
  EXPECT_EQ(makePrivateFolder(dir.file("link")), -1);
  EXPECT_EQ(modeOf(dir.file("elsewhere")), 0755u);
  std::ofstream(dir.file("file")) << "x";
  EXPECT_EQ(makePrivateFolder(dir.file("file")), -1);
}

}  // namespace
}  // namespace vireo::testing

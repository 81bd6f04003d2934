// The rule for files written for the user: temporary then rename, the same bytes left alone,
// other bytes kept beside, links never followed, the umask obeyed, and a killed writer leaving no
// cut-short file under a final name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/file_copy.h"
#include "platform/user_file_writer.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

std::optional<FailureReason> writeFile(const std::string& path, const std::string& bytes, PlacedFile& placed,
                                       ExistingName existing = ExistingName::keepBoth) {
  UserFileWriter writer;
  if (auto failure = writer.create(path, existing)) return failure;
  if (auto failure = writer.write(bytes.data(), bytes.size())) return failure;
  return writer.place(placed);
}

struct stat statOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

TEST(UserFileWriter, TheSameBytesAreLeftAsTheyAreAndOtherBytesKeptBeside) {
  ScratchDir out;
  const std::string name = out.file("3.eml");
  PlacedFile placed;
  ASSERT_FALSE(writeFile(name, "first", placed));
  EXPECT_EQ(placed.path, name);
  EXPECT_EQ(placed.placement, Placement::created);
  const struct stat before = statOf(name);

  ::usleep(20000);  // a rewritten file would show a later time
  ASSERT_FALSE(writeFile(name, "first", placed));
  EXPECT_EQ(placed.placement, Placement::identical);
  const struct stat after = statOf(name);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

  ASSERT_FALSE(writeFile(name, "second", placed));
  EXPECT_EQ(placed.path, out.file("3 (2).eml"));
  EXPECT_EQ(placed.placement, Placement::keptBeside);
  ASSERT_FALSE(writeFile(name, "third, longer", placed));
  EXPECT_EQ(placed.path, out.file("3 (3).eml"));
  // Saving the second again finds its numbered file and adds nothing.
  ASSERT_FALSE(writeFile(name, "second", placed));
  EXPECT_EQ(placed.path, out.file("3 (2).eml"));
  EXPECT_EQ(placed.placement, Placement::identical);

  EXPECT_EQ(fileNamesIn(out.path()), (std::vector<std::string>{"3 (2).eml", "3 (3).eml", "3.eml"}));
  EXPECT_EQ(fileText(name), "first");
  EXPECT_EQ(fileText(out.file("3 (2).eml")), "second");
  EXPECT_EQ(fileText(out.file("3 (3).eml")), "third, longer");

  // Vireo's own files take the name over.
  ASSERT_FALSE(writeFile(name, "replaced", placed, ExistingName::replace));
  EXPECT_EQ(placed.placement, Placement::replaced);
  EXPECT_EQ(fileText(name), "replaced");
}

TEST(UserFileWriter, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numberedFileName("out/3.eml", 2), "out/3 (2).eml");
  EXPECT_EQ(numberedFileName("Inbox.dbx", 12), "Inbox (12).dbx");
  EXPECT_EQ(numberedFileName("a.b/name", 2), "a.b/name (2)");
  EXPECT_EQ(numberedFileName("out/.hidden", 3), "out/.hidden (3)");
  EXPECT_TRUE(isTemporaryFileName(".3.eml.vireo-Ab3dE9"));
  EXPECT_FALSE(isTemporaryFileName("3.eml"));
  EXPECT_FALSE(isTemporaryFileName(".vireo-Ab3dE9"));
}

// A link at the final name (or at the temporary name the old copy used) is never followed: the
// file it points at stays as it was, and the new file goes beside the link.
TEST(UserFileWriter, LinksAtTheNamesAreNeverFollowed) {
  ScratchDir out, elsewhere;
  const std::string target = elsewhere.file("precious");
  std::ofstream(target) << "not to be touched";
  fs::create_symlink(target, out.file("0.eml"));
  fs::create_symlink(target, out.file("Inbox.dbx.partial"));
  fs::create_symlink(elsewhere.file("missing"), out.file("1.eml"));  // a dangling one
  PlacedFile placed;
  ASSERT_FALSE(writeFile(out.file("0.eml"), "message", placed));
  EXPECT_EQ(placed.path, out.file("0 (2).eml"));
  ASSERT_FALSE(writeFile(out.file("1.eml"), "message", placed));
  EXPECT_EQ(placed.path, out.file("1 (2).eml"));
  EXPECT_FALSE(fs::exists(elsewhere.file("missing")));

  ScratchDir source;
  std::ofstream(source.file("Inbox.dbx")) << "a base";
  fs::create_symlink(target, out.file("Inbox.dbx"));
  ASSERT_FALSE(copyFile(source.file("Inbox.dbx"), out.file("Inbox.dbx"), {}, &placed));
  EXPECT_EQ(placed.path, out.file("Inbox (2).dbx"));
  EXPECT_EQ(fileText(placed.path), "a base");

  EXPECT_EQ(fileText(target), "not to be touched");
  EXPECT_TRUE(fs::is_symlink(out.file("0.eml")));
  EXPECT_TRUE(fs::is_symlink(out.file("Inbox.dbx")));
  EXPECT_TRUE(fs::is_symlink(out.file("Inbox.dbx.partial")));
}

TEST(UserFileWriter, FilesGetTheModeTheUmaskGives) {
  ScratchDir out, source;
  std::ofstream(source.file("Inbox.dbx")) << "a base";
  ::chmod(source.file("Inbox.dbx").c_str(), 0600);
  const mode_t previous = ::umask(027);
  PlacedFile placed;
  const bool wrote = !writeFile(out.file("0.eml"), "message", placed);
  const bool copied = !copyFile(source.file("Inbox.dbx"), out.file("Inbox.dbx"));
  ::umask(previous);
  ASSERT_TRUE(wrote);
  ASSERT_TRUE(copied);
  EXPECT_EQ(statOf(out.file("0.eml")).st_mode & 07777, 0640u);
  EXPECT_EQ(statOf(out.file("Inbox.dbx")).st_mode & 07777, 0640u);
}

// A write that fails part way (here at a file size limit, which binds root too) removes its
// temporary and names the final file, not the temporary.
TEST(UserFileWriter, AFailedWriteLeavesNothingAndSaysWhy) {
  ScratchDir out;
  std::ofstream(out.file("0.eml")) << "older";
  struct rlimit previous {};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  const sighandler_t previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = previous;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  PlacedFile placed;
  const std::optional<FailureReason> failure = writeFile(out.file("0.eml"), std::string(10000, 'x'), placed);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::signal(SIGXFSZ, previousHandler);
  ASSERT_TRUE(failure);
  EXPECT_EQ(describeFailure(*failure), "cannot write " + out.file("0.eml") + ": File too large");
  EXPECT_EQ(fileNamesIn(out.path()), std::vector<std::string>{"0.eml"});
  EXPECT_EQ(fileText(out.file("0.eml")), "older");

  const std::optional<FailureReason> noFolder = writeFile(out.file("gone/0.eml"), "x", placed);
  ASSERT_TRUE(noFolder);
  EXPECT_EQ(describeFailure(*noFolder), "cannot create " + out.file("gone/0.eml") + ": No such file or directory");
}

// Runs work in a child that says on the pipe when it is half way and then waits to be killed.
void killHalfWay(const std::function<void(int readyFd)>& work) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    work(ready[1]);
    ::_exit(0);  // not reached when the parent kills first
  }
  ::close(ready[1]);
  char byte = 0;
  const ssize_t got = ::read(ready[0], &byte, 1);
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(got, 1) << "the child ended before it was half way";
  ASSERT_TRUE(WIFSIGNALED(status));
}

void signalAndWait(int readyFd) {
  const char byte = 'h';
  [[maybe_unused]] const ssize_t wrote = ::write(readyFd, &byte, 1);
  while (true) ::pause();
}

TEST(UserFileWriter, AKillHalfWayLeavesWholeFilesAndTemporariesOnly) {
  ScratchDir out, source;
  std::ofstream(out.file("0.eml")) << "an older message of the same name";
  killHalfWay([&](int readyFd) {
    UserFileWriter writer;
    const std::string piece(1 << 20, 'm');
    if (writer.create(out.file("0.eml")) || writer.write(piece.data(), piece.size())) return;
    signalAndWait(readyFd);
  });

  std::ofstream(source.file("Inbox.dbx")) << std::string(8 << 20, 'b');
  killHalfWay([&](int readyFd) {
    CopyOptions options;
    options.progress = [readyFd](uint64_t copied, uint64_t) {
      if (copied >= (2u << 20)) signalAndWait(readyFd);
      return true;
    };
    (void)copyFile(source.file("Inbox.dbx"), out.file("Inbox.dbx"), options);
  });

  int temporaries = 0;
  for (const std::string& name : fileNamesIn(out.path())) {
    if (isTemporaryFileName(name)) ++temporaries;
    else EXPECT_EQ(name, "0.eml");
  }
  EXPECT_EQ(temporaries, 2);
  EXPECT_EQ(fileText(out.file("0.eml")), "an older message of the same name");
  EXPECT_FALSE(fs::exists(out.file("Inbox.dbx")));
}

TEST(CopyFile, AStoppedCopyLeavesNothingAndSaysSo) {
  ScratchDir out, source;
  std::ofstream(source.file("Inbox.dbx")) << std::string(3 << 20, 'b');
  CopyOptions options;
  uint64_t seen = 0;
  options.progress = [&seen](uint64_t copied, uint64_t total) {
    EXPECT_EQ(total, 3u << 20);
    seen = copied;
    return copied < (2u << 20);
  };
  const std::optional<FailureReason> failure = copyFile(source.file("Inbox.dbx"), out.file("Inbox.dbx"), options);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->what, kCopyStopped);
  EXPECT_EQ(seen, 2u << 20);
  EXPECT_TRUE(fileNamesIn(out.path()).empty());
}

}  // namespace
}  // namespace vireo::testing

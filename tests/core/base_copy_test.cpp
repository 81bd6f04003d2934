// The copy of a base file on the worker: the same bytes under the final name, the umask's mode,
// nothing under the final name after a stop, and a folder short of space refused before the
// copy starts.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "reader/base_copy.h"
#include "reader/document.h"
#include "tests/core/base_fixture.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
constexpr auto kGenerous = std::chrono::seconds(60);

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A file of pseudo-random bytes, a few chunks and a part long.
std::string writeSource(const ScratchDir& dir, const std::string& name, size_t size) {
  std::string bytes(size, '\0');
  std::mt19937 random(7);
  for (char& c : bytes) c = static_cast<char>(random());
  std::ofstream(dir.file(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// Sets the stop event the first time the copy reports progress past the start.
class StopOnProgress final : public ProgressSink {
 public:
  explicit StopOnProgress(ManualResetEvent& stop) : stop_(stop) {}
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void stepIt() override {}
  void setPos(uint32_t position) override {
    if (position > 0) stop_.set();
  }

 private:
  ManualResetEvent& stop_;
};

class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : previous_(::umask(mask)) {}
  ~UmaskScope() { ::umask(previous_); }

 private:
  mode_t previous_;
};

TEST(BaseCopy, WritesTheSameBytesWithTheUmasksModeKeepingALinkAndItsTarget) {
  ScratchDir dir;
  const std::string bytes = writeSource(dir, "Inbox.dbx", 3 * kBaseCopyChunk + 12345);
  fs::create_directory(dir.file("out"));
  std::ofstream(dir.file("elsewhere")) << "the link's target";
  fs::create_symlink(dir.file("elsewhere"), dir.file("out/Inbox.dbx"));
  const UmaskScope mask(027);
  const BaseCopyOutcome outcome = copyBaseFile(dir.file("Inbox.dbx"), dir.file("out/Inbox.dbx"), {});
  ASSERT_EQ(outcome.end, BaseCopyOutcome::End::copied) << describeFailure(outcome.reason);
  // What stood at the name is kept, link and target alike; the copy goes beside it.
  EXPECT_EQ(outcome.placed.path, dir.file("out/Inbox (2).dbx"));
  EXPECT_EQ(outcome.placed.placement, Placement::keptBeside);
  EXPECT_EQ(fileBytes(dir.file("out/Inbox (2).dbx")), bytes);
  EXPECT_TRUE(fs::is_symlink(dir.file("out/Inbox.dbx")));
  EXPECT_EQ(fileBytes(dir.file("elsewhere")), "the link's target");
  EXPECT_EQ(fs::status(dir.file("out/Inbox (2).dbx")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(namesIn(dir.file("out")), (std::vector<std::string>{"Inbox (2).dbx", "Inbox.dbx"}));

  // The same copy again adds nothing.
  const BaseCopyOutcome again = copyBaseFile(dir.file("Inbox.dbx"), dir.file("out/Inbox.dbx"), {});
  ASSERT_EQ(again.end, BaseCopyOutcome::End::copied) << describeFailure(again.reason);
  EXPECT_EQ(again.placed.placement, Placement::identical);
  EXPECT_EQ(namesIn(dir.file("out")).size(), 2u);
}

TEST(BaseCopy, CopiesFromAFileTheKernelCannotCopyItself) {
  // A memory file: the kernel's copy between it and a disk file is refused or partial on many
  // kernels, and the bytes then pass through the process.
  const int memory = ::memfd_create("base", MFD_CLOEXEC);
  ASSERT_GE(memory, 0);
  std::string bytes(2 * kBaseCopyChunk + 777, '\0');
  std::mt19937 random(3);
  for (char& c : bytes) c = static_cast<char>(random());
  ASSERT_EQ(::write(memory, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ScratchDir dir;
  const BaseCopyOutcome outcome =
      copyBaseFile("/proc/self/fd/" + std::to_string(memory), dir.file("Copy.dbx"), {});
  ::close(memory);
  ASSERT_EQ(outcome.end, BaseCopyOutcome::End::copied) << describeFailure(outcome.reason);
  EXPECT_EQ(fileBytes(dir.file("Copy.dbx")), bytes);
}

TEST(BaseCopy, AStopLeavesNoFileUnderTheFinalNameAndNoTemporary) {
  ScratchDir dir;
  writeSource(dir, "Inbox.dbx", 4 * kBaseCopyChunk);
  fs::create_directory(dir.file("out"));
  ManualResetEvent stop;
  StopOnProgress bar(stop);
  const BaseCopyOutcome midway = copyBaseFile(dir.file("Inbox.dbx"), dir.file("out/Inbox.dbx"), {&stop, &bar});
  EXPECT_EQ(midway.end, BaseCopyOutcome::End::stopped);
  EXPECT_TRUE(namesIn(dir.file("out")).empty());

  // A file of the final name from before is left as it was.
  std::ofstream(dir.file("out/Inbox.dbx")) << "an older copy";
  const BaseCopyOutcome before = copyBaseFile(dir.file("Inbox.dbx"), dir.file("out/Inbox.dbx"), {&stop, nullptr});
  EXPECT_EQ(before.end, BaseCopyOutcome::End::stopped);
  EXPECT_EQ(fileBytes(dir.file("out/Inbox.dbx")), "an older copy");
  EXPECT_EQ(namesIn(dir.file("out")), std::vector<std::string>{"Inbox.dbx"});
}

TEST(BaseCopy, FailuresSayWhatAndWhere) {
  ScratchDir dir;
  const BaseCopyOutcome missing = copyBaseFile(dir.file("Gone.dbx"), dir.file("Copy.dbx"), {});
  EXPECT_EQ(missing.end, BaseCopyOutcome::End::failed);
  EXPECT_EQ(missing.reason.file, dir.file("Gone.dbx"));
  writeSource(dir, "Inbox.dbx", 100);
  const BaseCopyOutcome noFolder = copyBaseFile(dir.file("Inbox.dbx"), dir.file("missing/Inbox.dbx"), {});
  EXPECT_EQ(noFolder.end, BaseCopyOutcome::End::failed);
  EXPECT_EQ(noFolder.reason.what, "cannot create");
}

TEST(BaseCopy, RefusesAFolderShortOfSpaceOrTheBaseItself) {
  ScratchDir dir;
  writeSource(dir, "Inbox.dbx", 2'500'000);
  fs::create_directory(dir.file("out"));
  std::string askedFolder;
  const FreeSpaceQuery nearlyFull = [&](const std::string& folder) -> std::optional<uint64_t> {
    askedFolder = folder;
    return 1'200'000;
  };
  const std::optional<FailureReason> refused =
      baseCopyRefusal(dir.file("Inbox.dbx"), dir.file("out"), dir.file("out/Inbox.dbx"), nearlyFull);
  ASSERT_TRUE(refused);
  EXPECT_EQ(askedFolder, dir.file("out"));
  EXPECT_EQ(describeFailure(*refused), "not enough free space in " + dir.file("out") +
                                           ": the copy needs 2.5 MB and only 1.2 MB are free");
  const FreeSpaceQuery roomy = [](const std::string&) -> std::optional<uint64_t> { return 2'500'000; };
  const FreeSpaceQuery unknown = [](const std::string&) -> std::optional<uint64_t> { return std::nullopt; };
  EXPECT_FALSE(baseCopyRefusal(dir.file("Inbox.dbx"), dir.file("out"), dir.file("out/Inbox.dbx"), roomy));
  EXPECT_FALSE(baseCopyRefusal(dir.file("Inbox.dbx"), dir.file("out"), dir.file("out/Inbox.dbx"), unknown));
  const std::optional<FailureReason> itself =
      baseCopyRefusal(dir.file("Inbox.dbx"), dir.path(), dir.file("Inbox.dbx"), roomy);
  ASSERT_TRUE(itself);
  EXPECT_EQ(itself->what, "the destination is the base itself");
  EXPECT_TRUE(freeSpaceOf(dir.path()).has_value());
}

TEST(BaseCopy, ByteCountsReadAsAFileManagerShowsThem) {
  EXPECT_EQ(byteCountText(1), "1 byte");
  EXPECT_EQ(byteCountText(999), "999 bytes");
  EXPECT_EQ(byteCountText(12'345), "12 KB");
  EXPECT_EQ(byteCountText(2'147'483'648), "2.1 GB");
}

TEST(BaseCopy, RunsOnTheWorkerAndSaysWhereTheCopyWent) {
  ScratchDir dir;
  const std::string bytes = writeSource(dir, "Inbox.dbx", 2 * kBaseCopyChunk + 1);
  fs::create_directory(dir.file("out"));
  DocumentSetup setup;
  setup.fallbackTempFolder = dir.file("temp");
  Document doc(setup);
  MessageBaseReader& reader = doc.readers[0];
  reader.baseFolder = dir.path();
  reader.baseName = "Inbox.dbx";
  doc.readerCount = 1;
  std::vector<int> completions;
  doc.setCompletionSink([&](int message) {
    completions.push_back(message);
    return handledAlready();
  });
  CapturedMessages shown;
  EXPECT_FALSE(doc.baseCopyRefusal(0, dir.file("out")));
  ASSERT_TRUE(doc.startBaseCopy(0, dir.file("out")));
  EXPECT_EQ(doc.operationRunning, 1);
  EXPECT_FALSE(doc.startOperation(kOperationBrowse, 0));  // one worker at a time
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  EXPECT_EQ(completions, std::vector<int>{kOperationSucceeded});
  doc.completeOperation(completions[0]);
  EXPECT_EQ(doc.operationRunning, 0);
  EXPECT_EQ(reader.state, kStateNotRead);
  EXPECT_EQ(fileBytes(dir.file("out/Inbox.dbx")), bytes);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0], std::string(kBaseCopiedText) + "\n" + dir.file("out/Inbox.dbx"));

  // Stopped before its first chunk: a failure the user asked for, told by nobody.
  doc.freeSpace = [](const std::string&) -> std::optional<uint64_t> { return 10; };
  EXPECT_TRUE(doc.baseCopyRefusal(0, dir.file("out")));
  fs::remove(dir.file("out/Inbox.dbx"));
  ASSERT_TRUE(doc.startBaseCopy(0, dir.file("out")));
  doc.stopOperation();
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  // The stop may come after the copy ended: then it succeeded whole.
  if (completions.back() == kOperationFailed) {
    EXPECT_TRUE(namesIn(dir.file("out")).empty());
    EXPECT_EQ(shown.texts.size(), 1u);
  } else {
    EXPECT_EQ(fileBytes(dir.file("out/Inbox.dbx")), bytes);
  }
}

}  // namespace
}  // namespace vireo::testing

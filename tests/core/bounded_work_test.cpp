// Hostile bases must end in bounded time and memory. Each case browses and recovers its base in a
// child process with a CPU-time limit; the parent fails the case when the child was killed by the
// limit, crashed, or peaked above its memory allowance.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fcntl.h>
#include <functional>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Sanitizers slow reading down several times and keep shadow memory, so their allowances are
// wider; the limits still catch a loop or a runaway allocation.
constexpr rlim_t kCpuSeconds = kSanitized ? 240 : 60;
constexpr long kMaxResidentMiB = kSanitized ? 4096 : 1024;

struct ChildEnd {
  int status = 0;
  long peakResidentMiB = 0;
};

ChildEnd runLimited(const std::function<void()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit cpu{kCpuSeconds, kCpuSeconds};
    setrlimit(RLIMIT_CPU, &cpu);
    work();
    _exit(0);
  }
  ChildEnd end;
  rusage usage{};
  if (child < 0 || wait4(child, &end.status, 0, &usage) != child) {
    end.status = -1;
    return end;
  }
  end.peakResidentMiB = usage.ru_maxrss / 1024;
  return end;
}

void expectBounded(const std::string& path) {
  const ChildEnd end = runLimited([&] {
    for (int recover : {0, 1}) {
      MessageBaseReader reader;
      reader.baseFolder = path.substr(0, path.rfind('/'));
      reader.baseName = path.substr(path.rfind('/') + 1);
      reader.recoverMode = recover;
      reader.openBase(false);
      if (reader.ok != 0 && reader.ok != 1) _exit(3);
    }
  });
  ASSERT_TRUE(WIFEXITED(end.status)) << "the child was ended by signal "
                                     << (WIFSIGNALED(end.status) ? WTERMSIG(end.status) : -1)
                                     << (WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGXCPU
                                             ? " (its CPU time ran out)"
                                             : "");
  EXPECT_EQ(WEXITSTATUS(end.status), 0);
  EXPECT_LE(end.peakResidentMiB, kMaxResidentMiB);
}

DbxWriter treeOf(int messages, int entriesPerNode) {
  DbxWriter writer;
  writer.setEntriesPerNode(entriesPerNode);
  for (int i = 0; i < messages; ++i) writer.add(simpleMessage("m" + std::to_string(i), std::string(900, 'x') + "\r\n"));
  return writer;
}

TEST(BoundedWork, HostileStructuresEndWithinTimeAndMemory) {
  ScratchDir folder;
  CapturedMessages shown;

  {  // a header that claims 999,999 messages over a base of 30
    DbxWriter writer = treeOf(30, 3);
    DbxImage image = writer.build();
    image.put32(dbx::kMessageCountOffset, 999999);
    image.put32(writer.rootOffset() + dbx::kNodeLeftCount, 999999);
    image.save(folder.file("claims.dbx"));
    SCOPED_TRACE("999,999 claimed");
    expectBounded(folder.file("claims.dbx"));
  }
  {  // every index node's children point at every other node, and at itself
    DbxWriter writer = treeOf(200, 2);
    DbxImage image = writer.build();
    const std::vector<WrittenNode>& nodes = writer.nodes();
    for (size_t n = 0; n < nodes.size(); ++n) {
      const uint32_t node = nodes[n].offset;
      image.put32(node + dbx::kNodeLeftChild, nodes[(n + 1) % nodes.size()].offset);
      image.put32(node + dbx::kNodeLeftCount, 999999);
      for (uint32_t e = 0; e < 2; ++e) {
        const uint32_t entry = node + dbx::kNodeHeaderSize + e * dbx::kIndexEntrySize;
        image.put32(entry + dbx::kEntryChild, nodes[(n + 2 + e) % nodes.size()].offset);
        image.put32(entry + dbx::kEntryChildCount, 999999);
      }
    }
    image.save(folder.file("nodes.dbx"));
    SCOPED_TRACE("nodes pointing at each other");
    expectBounded(folder.file("nodes.dbx"));
  }
  {  // every message's last block leads back to its first; every used count huge
    DbxWriter writer = treeOf(200, 51);
    DbxImage image = writer.build();
    DbxImage huge = image;
    for (const WrittenMessage& message : writer.messages()) {
      image.put32(message.blockOffsets.back() + dbx::kBlockNext, message.blockOffsets.front());
      for (uint32_t block : message.blockOffsets) huge.put32(block + dbx::kBlockUsed, 0x7FFFFFFF);
    }
    image.save(folder.file("loops.dbx"));
    huge.save(folder.file("huge.dbx"));
    SCOPED_TRACE("looping chains");
    expectBounded(folder.file("loops.dbx"));
    SCOPED_TRACE("huge used counts");
    expectBounded(folder.file("huge.dbx"));
  }
  {  // 3 GB, nearly all of it a hole
    const std::string path = folder.file("sparse.dbx");
    treeOf(20, 51).build().save(path);
    ASSERT_EQ(truncate(path.c_str(), 3'000'000'000), 0);
    SCOPED_TRACE("3 GB sparse");
    expectBounded(path);
  }
}

// The same messages whether or not the file goes on past 4 GiB: a size or offset kept in 32 bits
// would wrap and see a file of a few bytes, or read the start of the file again.
TEST(BoundedWork, FilesPastFourGibibytesDoNotWrapOffsets) {
  ScratchDir folder;
  CapturedMessages shown;
  DbxImage image = treeOf(25, 4).build();
  image.save(folder.file("small.dbx"));
  image.save(folder.file("large.dbx"));
  const uint64_t fourGiB = uint64_t{1} << 32;
  ASSERT_EQ(truncate(folder.file("large.dbx").c_str(), static_cast<off_t>(fourGiB + 64)), 0);
  {  // what lies just past 4 GiB is another base's start: a wrapped read would see it as ours
    const int fd = open(folder.file("large.dbx").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string garbage(64, '\x55');
    ASSERT_EQ(pwrite(fd, garbage.data(), garbage.size(), static_cast<off_t>(fourGiB)), 64);
    close(fd);
  }
  for (int recover : {0, 1}) {
    SCOPED_TRACE(recover ? "recovery" : "browse");
    MessageBaseReader readers[2];
    const char* names[2] = {"small.dbx", "large.dbx"};
    for (int i = 0; i < 2; ++i) {
      readers[i].baseFolder = folder.path();
      readers[i].baseName = names[i];
      readers[i].recoverMode = recover;
      readers[i].openBase(false);
      ASSERT_EQ(readers[i].ok, 1);
    }
    ASSERT_EQ(readers[0].count(), readers[1].count());
    for (int r = 0; r < readers[0].count(); ++r) {
      EXPECT_EQ(readers[0].records[static_cast<size_t>(r)].subject(), readers[1].records[static_cast<size_t>(r)].subject());
      EXPECT_EQ(readThroughBlocks(readers[0], r), readThroughBlocks(readers[1], r));
    }
  }
}

}  // namespace
}  // namespace vireo::testing

// vireo-cli export --mbox, --mbox-folder and --maildir, read back by another program's mailbox
// reader (Python's mailbox module), which must find every message as the base stores it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Runs read_mailbox.py; false when Python is missing or the mailbox module refused the input.
bool readBack(const std::string& kind, const std::string& source, const std::string& out) {
  const std::string python = VIREO_PYTHON3;
  if (python.empty() || python.ends_with("NOTFOUND")) return false;
  const std::string command =
      "'" + python + "' '" + VIREO_MAILBOX_READER + "' " + kind + " '" + source + "' '" + out + "'";
  return std::system(command.c_str()) == 0;
}

// The messages an mbox read back holds, in file order.
std::vector<std::string> mboxMessages(const std::string& folder) {
  std::vector<std::string> out;
  for (int n = 0; fs::exists(folder + "/" + std::to_string(n)); ++n) out.push_back(fileText(folder + "/" + std::to_string(n)));
  return out;
}

// Names the first message that differs, rather than printing thousands.
void expectSameMessages(const std::vector<std::string>& found, const std::vector<std::string>& expected) {
  EXPECT_EQ(found.size(), expected.size());
  for (size_t i = 0; i < std::min(found.size(), expected.size()); ++i)
    if (found[i] != expected[i]) {
      ADD_FAILURE() << "message " << i << " differs:\n" << found[i] << "\nexpected:\n" << expected[i];
      return;
    }
}

// Bodies that an mbox reader would take for message starts, or that lose their quoting.
std::string trickyMessage(int i) {
  switch (i % 7) {
    case 0: return simpleMessage("from line", "From the start of a line\r\nFrom \r\n");
    case 1: return simpleMessage("quoted", ">From quoted\r\n>>From twice\r\n");
    case 2: return simpleMessage("no date", "Undated.\r\n", "Ann <ann@example.org>", "Bob <bob@example.org>", "");
    case 3: return simpleMessage("no sender", "Anonymous.\r\n", "");
    case 4: return simpleMessage("bare line ends", "From here\nbare\n\n", "lf@example.org");  // ends in an empty line
    default: {
      std::string body;
      for (int line = 0; line < 20 + i % 60; ++line) body += "line " + std::to_string(line) + "\r\n";
      return simpleMessage("message " + std::to_string(i), body);
    }
  }
}

TEST(CliMbox, AMailboxReaderGetsBackEveryMessageOfALargeBaseByteForByte) {
  ScratchDir home;
  DbxWriter writer;
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i) writer.add(texts.emplace_back(trickyMessage(i)));
  writer.build().save(home.file("Inbox.dbx"));

  const CliResult result = runCli({"export", "--mbox", home.file("Inbox.mbox"), home.file("Inbox.dbx")}, home.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("3000 written, 0 failed"));
  ASSERT_TRUE(readBack("mbox", home.file("Inbox.mbox"), home.file("read")));
  expectSameMessages(mboxMessages(home.file("read")), texts);

  const std::vector<std::string> froms = lines(fileText(home.file("read/from-lines")));
  ASSERT_EQ(froms.size(), 3000u);
  EXPECT_EQ(froms[0], "ann@example.org Tue Dec  5 10:00:00 2006");
  EXPECT_EQ(froms[3].substr(0, 14), "MAILER-DAEMON ");
  EXPECT_EQ(froms[4], "lf@example.org Tue Dec  5 10:00:00 2006");
  // Undated: the base file's time.
  struct stat base {};
  ASSERT_EQ(::stat(home.file("Inbox.dbx").c_str(), &base), 0);
  char expected[64];
  const time_t baseTime = base.st_mtim.tv_sec;
  struct tm parts {};
  ::gmtime_r(&baseTime, &parts);
  std::strftime(expected, sizeof expected, "%H:%M:%S %Y", &parts);
  EXPECT_TRUE(froms[2].ends_with(expected)) << froms[2];
}

// The samples, browsed (and the damaged one recovered), come back as their .eml exports are.
TEST(CliMbox, TheSamplesReadBackAsTheirSavedMessages) {
  ScratchDir home;
  for (const auto& [name, recover] : std::map<std::string, bool>{{"Inbox", false}, {"News", false}, {"Damaged", true}}) {
    SCOPED_TRACE(name);
    const std::string base = std::string(VIREO_SAMPLES) + "/" + name + ".dbx";
    std::vector<std::string> eml = {"export", base, home.file(name + "-eml")};
    std::vector<std::string> mbox = {"export", "--mbox", home.file(name), base};
    if (recover) {
      eml.insert(eml.begin() + 1, "--recover");
      mbox.insert(mbox.begin() + 1, "--recover");
    }
    ASSERT_EQ(runCli(eml, home.path()).status, 0);
    ASSERT_EQ(runCli(mbox, home.path()).status, 0);
    ASSERT_TRUE(readBack("mbox", home.file(name), home.file(name + "-read")));
    std::vector<std::string> saved;
    for (int n = 0; fs::exists(home.file(name + "-eml/" + std::to_string(n) + ".eml")); ++n)
      saved.push_back(fileText(home.file(name + "-eml/" + std::to_string(n) + ".eml")));
    EXPECT_FALSE(saved.empty());
    expectSameMessages(mboxMessages(home.file(name + "-read")), saved);
  }
}

// A Thunderbird "Local Folders" directory: one mbox per base, named after it; a name already
// taken is kept and the new mbox goes beside it.
TEST(CliMbox, AFolderOfMboxesNamesEachAfterItsBaseAndKeepsWhatWasThere) {
  ScratchDir home;
  for (const char* name : {"Inbox.dbx", "Sent Items.dbx"}) {
    DbxWriter writer;
    writer.add(simpleMessage(name));
    writer.build().save(home.file(name));
  }
  fs::create_directory(home.file("Local Folders"));
  { std::ofstream(home.file("Local Folders/Inbox")) << "From old Mon Jan  1 00:00:00 2001\n\n"; }
  const CliResult result = runCli({"export", "--mbox-folder", home.file("Local Folders"), home.file("Inbox.dbx"),
                                   home.file("Sent Items.dbx")},
                                  home.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(fileNamesIn(home.file("Local Folders")), (std::vector<std::string>{"Inbox", "Inbox (2)", "Sent Items"}));
  EXPECT_EQ(fileText(home.file("Local Folders/Inbox")), "From old Mon Jan  1 00:00:00 2001\n\n");
  ASSERT_TRUE(readBack("mbox", home.file("Local Folders/Sent Items"), home.file("read")));
  EXPECT_EQ(mboxMessages(home.file("read")), std::vector<std::string>{simpleMessage("Sent Items.dbx")});

  // A base that cannot be read fails the run but not the others.
  const CliResult partly = runCli({"export", "--mbox-folder", home.file("more"), home.file("Missing.dbx"),
                                   home.file("Inbox.dbx")},
                                  home.path());
  EXPECT_EQ(partly.status, 1);
  EXPECT_EQ(fileNamesIn(home.file("more")), std::vector<std::string>{"Inbox"});
}

TEST(CliMaildir, AMailboxReaderFindsTheMessagesInCurWithoutTheDeletedUnlessAsked) {
  ScratchDir home;
  DbxWriter writer;
  std::vector<std::string> kept;
  for (int i = 0; i < 6; ++i) {
    MessageSpec message;
    message.text = trickyMessage(i);
    message.deleted = i == 1;
    if (!message.deleted) kept.push_back(message.text);
    writer.add(message);
  }
  writer.build().save(home.file("Inbox.dbx"));

  for (const bool withDeleted : {false, true}) {
    SCOPED_TRACE(withDeleted);
    const std::string folder = home.file(withDeleted ? "all" : "kept");
    std::vector<std::string> args = {"export", "--maildir", folder, home.file("Inbox.dbx")};
    if (withDeleted) args.insert(args.begin() + 1, "--deleted");
    const CliResult result = runCli(args, home.path());
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_TRUE(readBack("maildir", folder, folder + "-read"));
    std::vector<std::string> found, expected = kept;
    std::string flags;
    for (const std::string& name : fileNamesIn(folder + "-read")) {
      if (name == "subdirs") continue;
      found.push_back(fileText(folder + "-read/" + name));
      flags += name.substr(name.find('.') + 1);
    }
    if (withDeleted) expected.push_back(trickyMessage(1));
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(flags, withDeleted ? "T" : "");  // trashed: the deleted one only
    for (const std::string& subdir : lines(fileText(folder + "-read/subdirs"))) EXPECT_EQ(subdir, "cur");
  }
  EXPECT_EQ(runCli({"export", "--deleted", "--mbox", home.file("x"), home.file("Inbox.dbx")}, home.path()).status, 2);
}

}  // namespace
}  // namespace vireo::testing

// vireo-cli as scripts use it: the help of every verb, CSV by RFC 4180, and dates in RFC 3339.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

using ::testing::HasSubstr;

// Sets TZ for the runs of one test, and puts the old one back.
class ZoneForRuns {
 public:
  explicit ZoneForRuns(const char* zone) {
    if (const char* old = ::getenv("TZ")) previous_ = old;
    ::setenv("TZ", zone, 1);
  }
  ~ZoneForRuns() {
    if (previous_) ::setenv("TZ", previous_->c_str(), 1);
    else ::unsetenv("TZ");
  }

 private:
  std::optional<std::string> previous_;
};

TEST(CliHelp, EveryVerbAndEachOfItsOptionsIsDocumentedAndAskingRunsNothing) {
  const CliResult general = runCli({"--help"});
  EXPECT_EQ(general.status, 0);
  for (const char* verb : {"info", "list", "export", "copy", "stores", "search"})
    EXPECT_THAT(general.out, HasSubstr(std::string("vireo-cli ") + verb)) << verb;
  EXPECT_THAT(general.out, HasSubstr("Exit status"));

  const std::map<std::string, std::vector<std::string>> options = {
      {"info", {}},
      {"list", {"--recover", "--copy", "--json", "--csv", "dateIso"}},
      {"export", {"--recover", "--copy", "--mbox FILE", "--mbox-folder DIR", "--maildir DIR", "--deleted"}},
      {"copy", {}},
      {"stores", {}},
      {"search", {"FOLDER"}},
  };
  for (const auto& [verb, named] : options) {
    SCOPED_TRACE(verb);
    // --help after other words still only helps: no base is read, nothing is written.
    const CliResult help = runCli({verb, "/nowhere/Inbox.dbx", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: vireo-cli " + verb));
    EXPECT_THAT(help.out, HasSubstr("Exit status: 0 success; 1 "));
    EXPECT_TRUE(help.err.empty()) << help.err;
    for (const std::string& option : named) EXPECT_THAT(help.out, HasSubstr(option));
    EXPECT_EQ(runCli({"help", verb}).out, help.out);
  }
  const CliResult unknown = runCli({"mail", "--help"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_THAT(unknown.err, HasSubstr("unknown command 'mail'"));
  const CliResult badUsage = runCli({"list", "--json", "--csv", "Inbox.dbx"});
  EXPECT_EQ(badUsage.status, 2);
  EXPECT_THAT(badUsage.err, HasSubstr("--mbox-folder DIR BASE..."));
}

TEST(CliList, CsvQuotesCommasQuotesAndLineBreaksAndGivesUtcDates) {
  ZoneForRuns zone("Europe/Berlin");
  ScratchDir folder;
  DbxWriter writer;
  writer.add(simpleMessage("plain", "x\r\n", "ann@example.org", "bob@example.org", "Sun, 01 Jul 2007 12:00:00 +0200"));
  writer.add(simpleMessage("Re: \"quoted\", and more", "x\r\n", "\"Smith, Ann\" <ann@example.org>", "bob@example.org",
                           "Tue, 05 Dec 2006 23:30:00 -0100"));
  writer.add(simpleMessage("=?iso-8859-1?Q?two=0D=0Alines?=", "x\r\n", "ann@example.org", "bob@example.org", ""));
  writer.build().save(folder.file("Inbox.dbx"));

  const CliResult csv = runCli({"list", "--csv", folder.file("Inbox.dbx")});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::vector<std::string> rows = [&] {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = csv.out.find("\r\n", start)) != std::string::npos; start = end + 2)
      out.push_back(csv.out.substr(start, end - start));
    return out;
  }();
  ASSERT_EQ(rows.size(), 5u) << csv.out;
  EXPECT_EQ(rows[0], "number,deleted,attachment,size,date,dateIso,from,to,subject");
  EXPECT_THAT(rows[1], ::testing::EndsWith(",2007-07-01T10:00:00Z,ann@example.org,bob@example.org,plain"));
  EXPECT_THAT(rows[2], ::testing::EndsWith(",2006-12-06T00:30:00Z,\"Smith, Ann <ann@example.org>\","
                                           "bob@example.org,\"Re: \"\"quoted\"\", and more\""));
  // The subject's line break stays inside its quotes: the row goes on after it.
  EXPECT_EQ(rows[3], "2,false,false," + std::to_string(simpleMessage("=?iso-8859-1?Q?two=0D=0Alines?=", "x\r\n",
                                                                     "ann@example.org", "bob@example.org", "").size()) +
                         ",,,ann@example.org,bob@example.org,\"two");
  EXPECT_EQ(rows[4], "lines\"");

  const CliResult json = runCli({"list", "--json", folder.file("Inbox.dbx")});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"dateIso\":\"2007-07-01T10:00:00Z\""));
  EXPECT_THAT(json.out, HasSubstr("\"dateIso\":\"2006-12-06T00:30:00Z\""));
  EXPECT_THAT(json.out, HasSubstr("\"dateIso\":null"));
}

}  // namespace
}  // namespace vireo::testing

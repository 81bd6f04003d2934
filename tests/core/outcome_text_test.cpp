// The one-line outcomes the status bar keeps and vireo-cli prints: counts grouped by thousands,
// and every count of a save (failed, kept beside, identical, stopped) said.
#include <gtest/gtest.h>

#include "reader/outcome_text.h"

namespace vireo {
namespace {

TEST(OutcomeText, GroupsThousandsAndNamesOneOrMany) {
  EXPECT_EQ(groupedNumber(0), "0");
  EXPECT_EQ(groupedNumber(999), "999");
  EXPECT_EQ(groupedNumber(1000), "1,000");
  EXPECT_EQ(groupedNumber(49141), "49,141");
  EXPECT_EQ(groupedNumber(1234567890), "1,234,567,890");
  EXPECT_EQ(groupedNumber(-1234), "-1,234");
  EXPECT_EQ(countOf(1, "message", "messages"), "1 message");
  EXPECT_EQ(countOf(13, "message", "messages"), "13 messages");

  EXPECT_EQ(readOutcomeText("Inbox.dbx", 13, false), "Inbox.dbx: 13 messages browsed");
  EXPECT_EQ(readOutcomeText("big.dbx", 49141, true, 1.94), "big.dbx: 49,141 messages recovered in 1.9 s");
  EXPECT_EQ(readOutcomeText("one.dbx", 1, true, 0.04), "one.dbx: 1 message recovered in 0.0 s");
  EXPECT_EQ(readEndedText("Inbox.dbx", false, true), "Inbox.dbx: browsing stopped");
  EXPECT_EQ(readEndedText("big.dbx", true, false), "big.dbx: recovery failed");
}

TEST(OutcomeText, ASearchSaysHowManyBasesItAdded) {
  EXPECT_EQ(searchOutcomeText({"/home/ann/Mail"}, 3, true, false), "/home/ann/Mail: 3 message bases added");
  EXPECT_EQ(searchOutcomeText({"/data", "/home"}, 0, true, false), "/data, /home: no new message base found");
  EXPECT_EQ(searchOutcomeText({"/"}, 1, false, true), "/: search stopped; 1 message base added");
  EXPECT_EQ(searchOutcomeText({"/"}, 0, false, true), "/: search stopped");
  EXPECT_EQ(searchOutcomeText({"/mnt/old"}, 0, false, false), "/mnt/old: search failed");
}

TEST(OutcomeText, ASaveSaysWhatWasWrittenAndWhatWasNot) {
  BatchOutcome all;
  all.written = 13;
  EXPECT_EQ(saveOutcomeText(all, 13, "/home/ann/Mail backup"), "13 messages saved to /home/ann/Mail backup");

  BatchOutcome beside = all;
  beside.keptBeside = 2;
  EXPECT_EQ(saveOutcomeText(beside, 13, "/m"), "13 messages saved to /m (2 kept beside files of the same name)");

  BatchOutcome mixed;
  mixed.written = 10;
  mixed.failed = 3;
  mixed.identical = 4;
  EXPECT_EQ(saveOutcomeText(mixed, 13, "/m"), "10 of 13 messages saved to /m (3 failed, 4 identical files left as they were)");

  BatchOutcome stopped;
  stopped.written = 5;
  stopped.stopped = true;
  EXPECT_EQ(saveOutcomeText(stopped, 1200, "/m"), "Save stopped: 5 of 1,200 messages saved to /m");
  stopped.written = 0;
  EXPECT_EQ(saveOutcomeText(stopped, 1, "/m"), "Save stopped: 0 of 1 message saved to /m");

  EXPECT_EQ(attachmentsOutcomeText(3, 3, "/a"), "3 attachments saved to /a");
  EXPECT_EQ(attachmentsOutcomeText(1, 2, "/a"), "1 of 2 attachments saved to /a (1 failed)");
}

TEST(OutcomeText, ACopySaysWhereItWent) {
  EXPECT_EQ(placedCopyText({"/b/Inbox.dbx", Placement::created}), "copied to /b/Inbox.dbx");
  EXPECT_EQ(placedCopyText({"/b/Inbox (2).dbx", Placement::keptBeside}),
            "copied as /b/Inbox (2).dbx, beside a file of the same name");
  EXPECT_EQ(placedCopyText({"/b/Inbox.dbx", Placement::identical}), "/b/Inbox.dbx already holds the same bytes");
}

}  // namespace
}  // namespace vireo

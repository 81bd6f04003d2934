#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "content/header_parser.h"

namespace vireo {
namespace {

// Parses an exact-size copy, so reading one byte past the text trips the address sanitizer.
struct Parsed {
  SummaryFields record;
  int lines = 0;
};
Parsed parse(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size()]);
  std::copy(text.begin(), text.end(), copy.get());
  Parsed parsed;
  parsed.record = parseHeaderFields(text.empty() ? nullptr : copy.get(), static_cast<int>(text.size()));
  parsed.lines = parsed.record.lines;
  return parsed;
}

const std::string kKoi8Meeting = "\xF7\xD3\xD4\xD2\xC5\xDE\xC1 \xD7 \xD0\xD1\xD4\xCE\xC9\xC3\xD5";
const std::string kCp1251Greeting = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEA\xE0\xEA \xE4\xE5\xEB\xE0";

class HeaderParser : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(HeaderParser, FillsSummaryFieldsOfAPlainMessage) {
  Parsed p = parse(
      "Content-Type: text/plain; charset=\"windows-1252\"\r\n"
      "From: \"John Doe\" <john@example.com>\r\n"
      "To:  jane@example.com\r\n"
      "Date: Tue, 05 Dec 2006 10:00:00 -0330\r\n"
      "Subject: Quarterly report\r\n"
      "\r\n"
      "Body line\r\n"
      "end\r\n");
  EXPECT_EQ(p.record.from, "John Doe <john@example.com>");
  EXPECT_EQ(p.record.to, "jane@example.com");
  EXPECT_EQ(p.record.subject, "Quarterly report");
  EXPECT_EQ(p.record.dateText, "12/05/06 13:30:00");
  EXPECT_EQ(p.record.time, 128097990000000000u);
  EXPECT_EQ(p.record.codePage, 1252);
  EXPECT_EQ(p.record.attachment, 0);
  EXPECT_EQ(p.lines, 5);  // stops once it has all it needs
}

TEST_F(HeaderParser, MissingOrEmptySubjectAndFieldsAreReplaced) {
  for (const char* subjectLine : {"", "Subject:\r\n", "Subject: \r\n"}) {
    Parsed p = parse(std::string("From: a@b\r\n") + subjectLine + "\r\nbody text here\r\n");
    EXPECT_EQ(p.record.subject, "(No subject)") << subjectLine;
    EXPECT_EQ(p.record.to, "");
    EXPECT_EQ(p.record.dateText, "");
    EXPECT_EQ(p.record.time, 0u);
  }
  // A name glued to a letter is no header.
  EXPECT_EQ(parse("From:x@y\r\nFrom:a\r\n\r\n\r\n").record.from, "");
  EXPECT_EQ(parse("From:<x@y>\r\n\r\n\r\n").record.from, "x@y>");
}

TEST_F(HeaderParser, ConvertsSubjectsFromTheMessageCharset) {
  Parsed koi8 = parse("Subject: " + kKoi8Meeting +
                      "\r\nContent-Type: text/plain;\r\n\tcharset=\"koi8-r\"\r\n\r\nbody\r\n");
  EXPECT_EQ(koi8.record.subject, "Встреча в пятницу");
  EXPECT_EQ(koi8.record.codePage, 20866);

  Parsed latin = parse("Subject: R\xE9union caf\xE9\r\n"
                       "Content-Type: text/plain; charset=ISO-8859-1\r\n\r\nbody\r\n");
  EXPECT_EQ(latin.record.subject, "Réunion café");
  EXPECT_EQ(latin.record.codePage, 28591);

  // Without a declared charset the text's own bytes decide.
  Parsed guessed = parse("Subject: " + kCp1251Greeting + "\r\n\r\nbody text\r\n");
  EXPECT_EQ(guessed.record.subject, "Привет, как дела");
  EXPECT_EQ(guessed.record.codePage, 0);
}

TEST_F(HeaderParser, EncodedWordsAreDecodedOnceAndGiveTheCodePage) {
  // The word's own charset wins over the message's, and the decoded text is not converted again.
  Parsed p = parse("Subject: Re: =?windows-1251?B?z/Do4uXy?=\r\n"
                   "Content-Type: text/plain; charset=koi8-r\r\n\r\nbody\r\n");
  EXPECT_EQ(p.record.subject, "Re: Привет");
  EXPECT_EQ(p.record.codePage, 20866);

  Parsed wordOnly = parse("From: =?koi8-r?B?99PU0sXewQ==?= <a@b>\r\n\r\nbody\r\n");
  EXPECT_EQ(wordOnly.record.from, "Встреча <a@b>");
  EXPECT_EQ(wordOnly.record.codePage, 20866);

  Parsed unknown = parse("Subject: =?us-ascii?Q?plain?=\r\n\r\nbody\r\n");
  EXPECT_EQ(unknown.record.subject, "=?us-ascii?Q?plain?=");
  EXPECT_EQ(unknown.record.codePage, 0);
}

TEST_F(HeaderParser, FoldedValuesKeepFirstLineUnlessEncoded) {
  Parsed plain = parse("Subject: first half\r\n  second half\r\n\r\nbody\r\n");
  EXPECT_EQ(plain.record.subject, "first half");

  Parsed encoded =
      parse("Subject: =?koi8-r?B?99PU0sXewQ==?=\r\n =?koi8-r?B?INcg0NHUzsnD1Q==?=\r\n\r\nbody\r\n");
  EXPECT_EQ(encoded.record.subject, "Встреча в пятницу");

  // The fold's space is text unless it lies between two encoded words.
  Parsed mixed = parse("Subject: =?utf-8?Q?Fw:?= visit github.com\r\n and win\r\n\r\nbody\r\n");
  EXPECT_EQ(mixed.record.subject, "Fw: visit github.com and win");
  Parsed tabbed = parse("From: =?utf-8?Q?Ann?=\r\n\t<ann@x>\r\n\r\nbody\r\n");
  EXPECT_EQ(tabbed.record.from, "Ann\t<ann@x>");

  // An empty continuation ends the folding and counts as a line of its own.
  Parsed emptyFold = parse("Subject: =?utf-8?Q?a?=\r\n \r\nTo: x@y\r\n\r\nbody\r\n");
  EXPECT_EQ(emptyFold.record.subject, "a");
  EXPECT_EQ(emptyFold.record.to, "x@y");
}

TEST_F(HeaderParser, ResentHeadersStandInForMissingOnes) {
  Parsed resent = parse("Resent-From: \"Old Name\" <old@x>\r\n"
                        "Resent-To: caf\xE9 <c@x>\r\n"
                        "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nbody\r\n");
  EXPECT_EQ(resent.record.from, "\"Old Name\" <old@x>");  // quotes kept
  EXPECT_EQ(resent.record.to, "caf\xE9 <c@x>");          // not converted

  Parsed both = parse("To: \"Ren\xE9\" <r@x>\r\n"
                      "Resent-To: =?koi8-r?B?99PU0sXewQ==?= <s@x>\r\n"
                      "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nbody\r\n");
  // To itself was found: it is still converted, whatever Resent-To held.
  EXPECT_EQ(both.record.to, "René <r@x>");
}

TEST_F(HeaderParser, HeadersAreLookedForInTheFirstHundredLinesOnly) {
  std::string early = "X-Note: 1\r\n\r\nbody\r\nFrom: late@x\r\n>Subject: quoted\r\nend\r\n";
  Parsed p = parse(early);
  EXPECT_EQ(p.record.from, "late@x");
  EXPECT_EQ(p.record.subject, "quoted");

  std::string many;
  for (int i = 0; i < 150; ++i) many += "X-Header-" + std::to_string(i) + ": value\r\n";
  Parsed late = parse(many + "From: late@x\r\n\r\nbody\r\n");
  EXPECT_EQ(late.record.from, "");
  EXPECT_EQ(late.lines, 101);
}

TEST_F(HeaderParser, BodyLinesOfEveryShapeAreCountedAndPassedOver) {
  // Lines the scan passes over quickly, each counted once: base64, prose, a colon or an equals
  // sign after the first word, leading delimiters, a NUL, only delimiters, empty. (None starts
  // with a space or tab, which would fold it into the header above.)
  using namespace std::string_literals;
  const std::string shapes[] = {std::string(76, 'Q') + "=", "This is prose, long enough to be typical.",
                                "see http://example.org/a?b=c", "<\t\"quoted\"> words", "nul\0:here"s,
                                "<> \t\"", "", "Note:x", "=?koi8-r?B?8NLJ18XU?=", "From:x@y"};
  for (size_t shape = 0; shape < std::size(shapes); ++shape) {
    // Lines without a word never end the scan, so past the hundredth line the next one with a
    // word still does.
    const bool wordless = shapes[shape].empty() || shapes[shape] == "<> \t\"";
    for (const int before : {3, 96, 97, 98, 99}) {
      std::string text = "To: t@x\r\nDate: 5 Dec 2006 13:30:00\r\n";
      for (int i = 0; i < before; ++i) text += shapes[shape] + "\r\n";
      text += "Subject: late\r\nFrom: f@x\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\nend\r\n";
      const Parsed p = parse(text);
      // Subject is line before + 3 and From the next; a header past line 100 is still read, and
      // ends the scan.
      const std::string where = std::to_string(shape) + " " + std::to_string(before);
      EXPECT_EQ(p.record.subject, before <= 98 || wordless ? "late" : "(No subject)") << where;
      EXPECT_EQ(p.record.from, before <= 97 ? "f@x" : "") << where;
      EXPECT_EQ(p.lines, before <= 96 ? before + 6 : before == 99 && wordless ? 102 : 101) << where;
    }
  }
}

TEST_F(HeaderParser, LongLinesAreCutTo399Bytes) {
  Parsed p = parse("Subject: " + std::string(500, 'a') + "\r\n\r\nbody\r\n");
  EXPECT_EQ(p.record.subject, std::string(399 - 9, 'a'));

  Parsed hidden = parse("Content-Type: text/plain; " + std::string(400, ' ') +
                        "charset=koi8-r\r\n\r\nbody\r\n");
  EXPECT_EQ(hidden.record.codePage, 0);
}

TEST_F(HeaderParser, CharsetLinesNeedExactParameterAndKnownName) {
  EXPECT_EQ(parse("Content-Type: text/plain; Charset=koi8-r\r\n\r\nx\r\n").record.codePage, 0);
  EXPECT_EQ(parse("Content-Type: text/plain; charset=KOI8-R\r\n\r\nx\r\n").record.codePage, 20866);
  EXPECT_EQ(parse("Content-Type: text/plain; charset=ks_c_5601-1987\r\n\r\nx\r\n").record.codePage,
            0);
  // An unknown name leaves room for a later charset line, even in the body.
  Parsed later = parse("Content-Type: text/plain; charset=x-unknown\r\n\r\n"
                       "--b\r\nContent-Type: text/plain; charset=\"windows-1251\"\r\n\r\nx\r\n");
  EXPECT_EQ(later.record.codePage, 1251);
}

TEST_F(HeaderParser, AttachmentLinesAnywhereInTheMessage) {
  EXPECT_EQ(parse("Subject: a\r\ncontent-disposition: attachment\r\n\r\nx\r\n").record.attachment,
            0);
  std::string text = "Subject: a\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
  for (int i = 0; i < 300; ++i) text += "line of the first part\r\n";
  text += "--b\r\nContent-Disposition: attachment; filename=\"r.pdf\"\r\n\r\ndata\r\n";
  EXPECT_EQ(parse(text).record.attachment, 1);

  int codePage = 0;
  int attachment = 0;
  std::string body = "Content-Disposition: attachment\r\n" + std::string(500, 'x') +
                     " charset=koi8-r\r\nContent-Type: text/plain; charset=koi8-r\r\n";
  scanBodyForCharsetAndAttachment(body.data(), static_cast<int>(body.size()), codePage, attachment);
  EXPECT_EQ(attachment, 1);
  EXPECT_EQ(codePage, 20866);
  codePage = 1251;
  scanBodyForCharsetAndAttachment(body.data(), static_cast<int>(body.size()), codePage, attachment);
  EXPECT_EQ(codePage, 1251);  // already known: not searched for
}

TEST_F(HeaderParser, ShortAndHostileTextsAreReadSafely) {
  EXPECT_EQ(parse("").lines, 0);
  EXPECT_EQ(parse("a\r\n").lines, 0);
  EXPECT_EQ(parse("Subject: no line end at all").lines, 0);
  EXPECT_EQ(parse("Subject: x\r\n").lines, 0);  // the pair lies in the last four bytes
  EXPECT_EQ(parse("Subject: x\r\n\r\n\r\n").lines, 1);
  // Folding that runs into the end of the text.
  EXPECT_EQ(parse("Subject: a\r\n\tbcdefgh").record.subject, "a");
  EXPECT_EQ(parse("Subject: a\r\n\t\r\n\r\n").record.subject, "a");
  // A NUL ends a line's text as it would a C string.
  EXPECT_EQ(parse(std::string("Subject: ab\0cd\r\n\r\nx\r\n", 20)).record.subject, "ab");

  // Random texts over the bytes that matter, NUL included: nothing is read past the text (the
  // exact-size copy lets the address sanitizer see it), and every line counted ends in CR LF.
  using namespace std::string_literals;
  std::mt19937 random(12345);
  const std::string alphabet = "\r\n\t \"<>=?:;,_Subject:From:To:Date:charset=koi8-r\x80\xFF\0"s;
  ASSERT_EQ(alphabet.back(), '\0');
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 300, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    Parsed p = parse(text);
    int lineEnds = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1)) ++lineEnds;
    EXPECT_LE(p.lines, lineEnds) << round;
    EXPECT_TRUE(p.record.attachment == 0 || p.record.attachment == 1);
  }
}

// A parsing thread reuses one set of fields for every message: nothing of a message may show in
// the next one's fields.
TEST_F(HeaderParser, ReusedFieldsGiveWhatNewOnesGive) {
  using namespace std::string_literals;
  std::vector<std::string> texts = {
      "From: \"John Doe\" <john@example.com>\r\nTo: jane@x\r\nDate: 5 Dec 2006 13:30:00\r\n"
      "Subject: " + std::string(300, 'q') + "\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\nbody\r\n",
      "Resent-From: \"Old Name\" <old@x>\r\nResent-To: r@x\r\n\r\nbody\r\n",
      "Subject: =?koi8-r?B?99PU0sXewQ==?=\r\n =?koi8-r?B?INcg0NHUzsnD1Q==?=\r\nResent-Date: 1 Jan 99 00:00:00\r\n\r\nx\r\n",
      "Subject: first half\r\n  second half\r\nTo: " + std::string(200, 't') + "\r\n\r\nbody\r\n",
      "Subject: " + kCp1251Greeting + "\r\n\r\nbody text\r\n",
      "X-Note: nothing here\r\n\r\nbody\r\n",
      "Date: not a date at all\r\nFrom: f@x\r\n\r\nContent-Disposition: attachment\r\n",
      "",
      "Subject: ab\0cd\r\n\r\nx\r\n"s,
  };
  std::mt19937 random(99);
  const std::string alphabet = "\r\n\t \"<>=?:;,_Subject:From:To:Date:Resent-To:charset=koi8-r\x80\xFF\0"s;
  for (int i = 0; i < 300; ++i) {
    std::string text(random() % 300, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  SummaryFields reused;
  for (const bool forward : {true, false})
    for (size_t n = 0; n < texts.size(); ++n) {
      const std::string& text = texts[forward ? n : texts.size() - 1 - n];
      const Parsed fresh = parse(text);
      std::unique_ptr<char[]> copy(new char[text.size()]);
      std::copy(text.begin(), text.end(), copy.get());
      parseHeaderFields(text.empty() ? nullptr : copy.get(), static_cast<int>(text.size()), reused);
      const std::string where = std::to_string(n) + (forward ? " forward" : " backward");
      EXPECT_EQ(reused.from, fresh.record.from) << where;
      EXPECT_EQ(reused.to, fresh.record.to) << where;
      EXPECT_EQ(reused.subject, fresh.record.subject) << where;
      EXPECT_EQ(reused.dateText, fresh.record.dateText) << where;
      EXPECT_EQ(reused.time, fresh.record.time) << where;
      EXPECT_EQ(reused.codePage, fresh.record.codePage) << where;
      EXPECT_EQ(reused.attachment, fresh.record.attachment) << where;
      EXPECT_EQ(reused.lines, fresh.record.lines) << where;
    }
}

}  // namespace
}  // namespace vireo

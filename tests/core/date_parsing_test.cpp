#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "content/date_parsing.h"
#include "content/header_parser.h"
#include "platform/time_conversion.h"

namespace vireo {
namespace {

constexpr uint64_t kTicksPerHour = 36'000'000'000ull;
// 2006-12-05 13:30:00 UTC as a file time.
constexpr uint64_t kDecember5th1330 = 128097990000000000ull;

void useTimeZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

SummaryFields withDate(const std::string& dateLines) {
  std::string text = "Subject: s\r\n" + dateLines + "\r\nbody text\r\n";
  return parseHeaderFields(text.data(), static_cast<int>(text.size()));
}

class DateParsing : public ::testing::Test {
 protected:
  void SetUp() override { useTimeZone("UTC"); }
  void TearDown() override { useTimeZone("UTC"); }
};

TEST_F(DateParsing, ZoneOffsetsAreTakenOffToGiveUtc) {
  EXPECT_EQ(withDate("Date: Tue, 05 Dec 2006 10:00:00 -0330\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: Tue, 05 Dec 2006 14:30:00 +0100\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 08:30:00 EST\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 dec 2006 06:30:00 pdt\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 13:30:00 XYZ\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 13:30:00\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 13:30:00 +01\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 13:30\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: Tue, 05 Dec 2006 10:00:00 -0330\r\n").dateText, "12/05/06 13:30:00");
}

TEST_F(DateParsing, MonthNamesAndTwoDigitYears) {
  EXPECT_EQ(withDate("Date: 5 December 06 13:30:00\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 DEC 2006 13:30:00\r\n").time, kDecember5th1330);
  EXPECT_EQ(withDate("Date: 1 Jan 99 00:00:00\r\n").dateText, "01/01/99 00:00:00");
  EXPECT_EQ(withDate("Date: 1 Jan 90 00:00:00\r\n").time,
            withDate("Date: 1 Jan 2090 00:00:00\r\n").time);
  EXPECT_EQ(withDate("Date: 1 Jan 1600 00:00:00\r\n").time,
            withDate("Date: 1 Jan 3500 00:00:00\r\n").time);
}

// Names match on their ASCII letters in any case and nothing else: a month by its first three
// bytes, a zone whole.
TEST_F(DateParsing, MonthAndZoneNamesInAnyCaseOnly) {
  const char* const months[] = {"jan", "FEB", "Mar", "aPr", "may", "JUN", "jul", "Aug", "sEP", "oct", "Nov", "dec"};
  for (int month = 1; month <= 12; ++month) {
    const std::optional<int64_t> utc = parseDateUtc(std::string("1 ") + months[month - 1] + "x 2001 00:00:00");
    ASSERT_TRUE(utc.has_value()) << month;
    EXPECT_EQ(fileTimeToSystemTime(*utc).month, month);
  }
  EXPECT_FALSE(parseDateUtc("1 De 2001 00:00:00").has_value());
  EXPECT_FALSE(parseDateUtc("1 D\xC5" "c 2001 00:00:00").has_value());
  const int64_t noon = *parseDateUtc("1 Jan 2001 12:00:00");
  const std::pair<const char*, int> zones[] = {{"ut", 0},   {"Gmt", 0},  {"est", -5}, {"EDT", -4}, {"cSt", -6},
                                               {"CDT", -5}, {"mst", -7}, {"MDT", -6}, {"pst", -8}, {"pDt", -7},
                                               {"ESTX", 0}, {"ES", 0},   {"U", 0},    {"P\xC4T", 0}};
  for (const auto& [zone, hours] : zones)
    EXPECT_EQ(parseDateUtc(std::string("1 Jan 2001 12:00:00 ") + zone), noon - hours * 60 * kFileTimeTicksPerMinute)
        << zone;
}

TEST_F(DateParsing, InvalidDatesLeaveTextAndTimeEmpty) {
  for (const char* line : {"Date: 30 Feb 2006 10:00:00\r\n", "Date: 5 Foo 2006 10:00:00\r\n",
                           "Date: Tue, Dec 2006 10:00:00\r\n", "Date: 5 Dec 2006 24:00:00\r\n",
                           "Date: 5 Dec 2006 10:60:00\r\n", "Date: 5 Dec\r\n",
                           "Date: 5 Dec 99999 10:00:00\r\n", "Date: 65541 Dec 2006 10:00\r\n",
                           "Date: 1 Jan 1601 00:00:00 +0100\r\n"}) {
    SummaryFields record = withDate(line);
    EXPECT_EQ(record.dateText, "") << line;
    EXPECT_EQ(record.time, 0u) << line;
  }
  // A value with no word at all stays as it was.
  SummaryFields wordless = withDate("Date: <\"> \r\n");
  EXPECT_EQ(wordless.dateText, "<\"> ");
  EXPECT_EQ(wordless.time, 0u);
  EXPECT_EQ(withDate("").dateText, "");
}

TEST_F(DateParsing, FirstOfDateAndResentDateWins) {
  EXPECT_EQ(withDate("Resent-Date: 5 Dec 2006 13:30:00\r\nDate: 1 Jan 2000 00:00:00\r\n").time,
            kDecember5th1330);
  EXPECT_EQ(withDate("Date: 5 Dec 2006 13:30:00\r\nResent-Date: 1 Jan 2000 00:00:00\r\n").time,
            kDecember5th1330);
}

TEST_F(DateParsing, LocalTimeUsesTheOffsetOfTheMessagesOwnDate) {
  useTimeZone("Europe/Berlin");
  const SummaryFields winter = withDate("Date: 5 Dec 2006 13:30:00 +0000\r\n");
  EXPECT_EQ(winter.time, kDecember5th1330 + kTicksPerHour);
  EXPECT_EQ(winter.dateText, "12/05/06 14:30:00");
  const SummaryFields summer = withDate("Date: 1 Jul 2006 12:00:00 GMT\r\n");
  EXPECT_EQ(summer.dateText, "07/01/06 14:00:00");
}

// The list's date text is written without strftime for numeric formats: it must be what
// strftime writes, for every date a file time can hold, and give way for anything else.
TEST(DateText, NumericPatternsAreWrittenAsStrftimeWritesThem) {
  const char* const patterns[] = {"%m/%d/%y", "%d.%m.%Y", "%Y-%m-%d", "%e/%m/%Y", "%D",  "%H:%M:%S",
                                  "%T",       "%r",       "%I:%M %p", "%Hh%M",    "%%%d", "at %S!"};
  std::mt19937 random(77);
  for (int round = 0; round < 3000; ++round) {
    CalendarTime calendar;
    calendar.year = 1601 + static_cast<int>(random() % 29227);
    calendar.month = 1 + static_cast<int>(random() % 12);
    calendar.day = 1 + static_cast<int>(random() % 28);
    calendar.hour = static_cast<int>(random() % 24);
    calendar.minute = static_cast<int>(random() % 60);
    calendar.second = static_cast<int>(random() % 60);
    if (round % 7 == 0) calendar.hour = round % 2 == 0 ? 0 : 12;
    if (round % 11 == 0) calendar.year = 2000 + round % 10;
    std::tm fields{};
    fields.tm_year = calendar.year - 1900;
    fields.tm_mon = calendar.month - 1;
    fields.tm_mday = calendar.day;
    fields.tm_hour = calendar.hour;
    fields.tm_min = calendar.minute;
    fields.tm_sec = calendar.second;
    for (const char* pattern : patterns) {
      char expected[101] = {};
      ASSERT_NE(std::strftime(expected, sizeof expected, pattern, &fields), 0u) << pattern;
      const std::optional<std::string> written = formatNumericPattern(pattern, calendar);
      ASSERT_TRUE(written) << pattern;
      ASSERT_EQ(*written, expected) << pattern << " " << calendar.year << "-" << calendar.month;
    }
  }
  CalendarTime calendar;
  calendar.year = 2006;
  calendar.month = 12;
  calendar.day = 5;
  for (const char* other : {"%b %d", "%a", "%Ex", "%-d", "%OH", "%d%", "%Z"})
    EXPECT_FALSE(formatNumericPattern(other, calendar)) << other;
  calendar.year = 999;  // strftime pads a short year in its own way
  EXPECT_FALSE(formatNumericPattern("%Y", calendar));
}

}  // namespace
}  // namespace vireo

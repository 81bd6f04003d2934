// The message list's one ordering: text folding, the flag and number columns, direction, ties.
#include <QtTest>

#include <algorithm>
#include <numeric>
#include <random>

#include "tests/gui/support/list_document.h"
#include "views/list_columns.h"
#include "views/record_compare.h"

namespace vireo::views {
namespace {

using testing::validRecord;

std::vector<int> sortedBy(const std::vector<MessageRecord>& records, int column, bool ascending,
                          std::vector<int> rows = {}) {
  if (rows.empty())
    for (int i = 0; i < static_cast<int>(records.size()); ++i) rows.push_back(i);
  sortRecordRows(rows, records, column, ascending);
  return rows;
}

}  // namespace

class RecordCompareTest : public QObject {
  Q_OBJECT

 private slots:
  void textFoldsOnlyAsciiLetters() {
    QCOMPARE(compareFoldedText("Hello World", "hELLO wORLD"), 0);
    QCOMPARE(compareFoldedText("Zeta", "alpha"), 1);
    // Folding goes to lower case: "Z" lies after "[" (0x5B) once folded, not before it.
    QCOMPARE(compareFoldedText("Z", "["), 1);
    // Bytes are unsigned: 0xE9 after every ASCII letter; accented capitals stay apart.
    QCOMPARE(compareFoldedText("\xE9t\xE9", "zzz"), 1);
    QCOMPARE(compareFoldedText("\xC3\xA9", "Z"), 1);
    QCOMPARE(compareFoldedText("\xC9", "\xE9"), -1);
    QCOMPARE(compareFoldedText("abc", "abcd"), -1);
    QCOMPARE(compareFoldedText("", "a"), -1);
    QCOMPARE(compareFoldedText("", ""), 0);
  }

  void textColumnsCompareTheirOwnField() {
    MessageRecord a = validRecord(0, "b", "Y");
    MessageRecord b = validRecord(1, "a", "x");
    a.setTexts(a.from(), "m", a.subject(), a.dateText());
    b.setTexts(b.from(), "M", b.subject(), b.dateText());
    QCOMPARE(compareRecords(a, b, kSubjectColumn, true), 1);
    QCOMPARE(compareRecords(a, b, kFromColumn, true), 1);
    QCOMPARE(compareRecords(a, b, kToColumn, true), 0);
    QCOMPARE(compareRecords(a, b, kSubjectColumn, false), -1);
  }

  void dateByStoredTimeNumberAsSigned() {
    MessageRecord none = validRecord(2, "", "", 0);
    MessageRecord alsoNone = validRecord(3, "", "", 0);
    MessageRecord early = validRecord(1, "", "", 100);
    MessageRecord late = validRecord(0, "", "", uint64_t{1} << 63);  // above every signed value
    early.setTexts(early.from(), early.to(), early.subject(), "31.12.2099");  // the text shown plays no part
    QCOMPARE(compareRecords(none, early, kDateColumn, true), -1);
    QCOMPARE(compareRecords(none, alsoNone, kDateColumn, true), 0);
    QCOMPARE(compareRecords(early, late, kDateColumn, true), -1);
    QCOMPARE(compareRecords(early, late, kDateColumn, false), 1);
    MessageRecord negative = validRecord(-5, "");
    QCOMPARE(compareRecords(negative, none, kNumberColumn, true), -1);
    QCOMPARE(compareRecords(late, early, kNumberColumn, true), -1);
  }

  void flaggedRecordsComeFirst() {
    MessageRecord plain = validRecord(0, "");
    MessageRecord deleted = validRecord(1, "");
    deleted.deleted = true;
    MessageRecord attached = validRecord(2, "");
    attached.attachment = 2;  // any non-zero value is an attachment
    QCOMPARE(compareRecords(deleted, plain, kDeletedColumn, true), -1);
    QCOMPARE(compareRecords(plain, deleted, kDeletedColumn, true), 1);
    QCOMPARE(compareRecords(deleted, deleted, kDeletedColumn, true), 0);
    QCOMPARE(compareRecords(attached, plain, kAttachmentColumn, true), -1);
    QCOMPARE(compareRecords(attached, plain, kAttachmentColumn, false), 1);
    QCOMPARE(compareRecords(plain, plain, kAttachmentColumn, true), 0);
  }

  void noColumnLeavesEverythingEqual() {
    const MessageRecord a = validRecord(0, "a");
    const MessageRecord b = validRecord(1, "b");
    QCOMPARE(compareRecords(a, b, -1, true), 0);
    QCOMPARE(compareRecords(a, b, -1, false), 0);
    const std::vector<MessageRecord> records{validRecord(0, "b"), validRecord(1, "a")};
    QCOMPARE(sortedBy(records, -1, false, {1, 0}), (std::vector<int>{1, 0}));
  }

  // The list sorts text columns from folded copies of the texts; the order must be the compare's.
  void textSortAgreesWithTheCompare() {
    std::mt19937 random(11);
    const char alphabet[] = {'a', 'A', 'b', 'Z', 'z', '[', '_', ' ', '\xE9', '\xC9', '\x7F'};
    std::vector<MessageRecord> records;
    for (int i = 0; i < 2000; ++i) {
      std::string text(random() % 5, ' ');
      for (char& c : text) c = alphabet[random() % sizeof alphabet];
      MessageRecord record = validRecord(i, text, text);
      record.setTexts(record.from(), text + "x", record.subject(), record.dateText());
      records.push_back(record);
    }
    for (int column : {kFromColumn, kToColumn, kSubjectColumn})
      for (bool ascending : {true, false}) {
        std::vector<int> rows(records.size());
        std::iota(rows.begin(), rows.end(), 0);
        std::shuffle(rows.begin(), rows.end(), random);
        std::vector<int> expected = rows;
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
          return compareRecords(records[static_cast<size_t>(a)], records[static_cast<size_t>(b)], column, ascending) < 0;
        });
        sortRecordRows(rows, records, column, ascending);
        QCOMPARE(rows, expected);
      }
  }

  void tiesKeepTheirCurrentOrder() {
    const std::vector<MessageRecord> records{validRecord(0, "same"), validRecord(1, "Other"),
                                             validRecord(2, "SAME"), validRecord(3, "same")};
    QCOMPARE(sortedBy(records, kSubjectColumn, true), (std::vector<int>{1, 0, 2, 3}));
    // Descending by Number first, then by Subject: equal subjects stay in descending number order.
    const std::vector<int> byNumber = sortedBy(records, kNumberColumn, false);
    QCOMPARE(sortedBy(records, kSubjectColumn, true, byNumber), (std::vector<int>{1, 3, 2, 0}));
    QCOMPARE(sortedBy(records, kSubjectColumn, false, byNumber), (std::vector<int>{3, 2, 0, 1}));
  }
};

}  // namespace vireo::views

QTEST_APPLESS_MAIN(vireo::views::RecordCompareTest)
#include "record_compare_test.moc"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/message_record.h"

namespace vireo {
namespace {

struct Texts {
  std::string from, to, subject, dateText;
};

void set(MessageRecord& record, const Texts& t) { record.setTexts(t.from, t.to, t.subject, t.dateText); }

void expectTexts(const MessageRecord& record, const Texts& t, const std::string& context) {
  EXPECT_EQ(record.from(), t.from) << context;
  EXPECT_EQ(record.to(), t.to) << context;
  EXPECT_EQ(record.subject(), t.subject) << context;
  EXPECT_EQ(record.dateText(), t.dateText) << context;
}

// Sizes on both sides of what the record keeps in itself, texts with NULs inside, and one of
// 64 KiB (past what a 16-bit length would hold).
std::vector<Texts> textsOfEverySize() {
  std::string withNuls("a\0b\0", 4);
  return {
      {"", "", "", ""},
      {"", "", "x", ""},
      {"0123", "4567", "89ab", "cdef"},  // exactly the inline room
      {"0123", "4567", "89ab", "cdefg"},  // one byte past it
      {withNuls, "", std::string(1, '\0'), withNuls + withNuls},
      {"Ann <ann@example.org>", "bob@example.org", "Quarterly report", "12/05/06 13:30:00"},
      {std::string(65536, 's'), "", "", "t"},
      {"f", std::string(70000, '\0'), "s", "d"},
  };
}

TEST(MessageRecordTexts, KeepEveryByteOfTextsOfEverySizeSetAgainAndAgain) {
  const std::vector<Texts> all = textsOfEverySize();
  MessageRecord record;
  expectTexts(record, {}, "new record");
  // Each set replaces the texts of the one before, inline or not, in both directions.
  for (size_t round = 0; round < 2; ++round)
    for (size_t i = 0; i < all.size(); ++i) {
      const size_t k = round == 0 ? i : all.size() - 1 - i;
      set(record, all[k]);
      expectTexts(record, all[k], "set " + std::to_string(k));
    }
  record.clearTexts();
  expectTexts(record, {}, "cleared");
  set(record, all.back());
  expectTexts(record, all.back(), "set after clear");
}

TEST(MessageRecordTexts, TakeTheirOwnTextsInAnotherOrder) {
  for (const Texts& t : textsOfEverySize()) {
    MessageRecord record;
    set(record, t);
    // The views point into the buffer being replaced.
    record.setTexts(record.dateText(), record.subject(), record.to(), record.from());
    expectTexts(record, {t.dateText, t.subject, t.to, t.from}, "swapped " + std::to_string(t.from.size()));
    // Down to texts that fit in the record itself, read from the record's heap buffer.
    record.setTexts(record.to().substr(0, 1), {}, record.from().substr(0, 2), {});
    expectTexts(record, {t.subject.substr(0, 1), "", t.dateText.substr(0, 2), ""}, "shortened");
  }
}

TEST(MessageRecordTexts, CopiesOwnTheirTextsAndMovesHandThemOver) {
  for (const Texts& t : textsOfEverySize()) {
    const std::string context = std::to_string(t.from.size() + t.to.size());
    auto source = std::make_unique<MessageRecord>();
    set(*source, t);
    source->number = 7;
    MessageRecord copied(*source);
    MessageRecord assigned;
    set(assigned, {"old", "texts", "of the record", "to be replaced"});
    assigned = *source;
    std::vector<MessageRecord> table(3, *source);
    table.resize(1000);  // moves the three as the table grows
    source.reset();
    expectTexts(copied, t, "copy " + context);
    expectTexts(assigned, t, "assigned " + context);
    expectTexts(table[2], t, "in a table " + context);
    EXPECT_EQ(copied.number, 7);

    MessageRecord moved(std::move(copied));
    expectTexts(moved, t, "moved " + context);
    MessageRecord target;
    set(target, {std::string(40, 'x'), "", "", ""});
    moved.moveTextsTo(target);
    expectTexts(target, t, "handed over " + context);
    expectTexts(moved, {}, "after handing over " + context);
    table[0] = table[1];
    table[1] = std::move(table[2]);
    expectTexts(table[0], t, "assigned in the table " + context);
    expectTexts(table[1], t, "moved in the table " + context);
    // Self-assignment keeps the texts.
    MessageRecord& same = table[0];
    table[0] = same;
    expectTexts(table[0], t, "self-assigned " + context);
  }
}

}  // namespace
}  // namespace vireo

// Filling and sorting the message list with 100,000 browsed messages, as ratios to one pass that
// converts every record's texts to QString (what the list could at most need to show them all).
// list_bench [MESSAGES]
#include <QApplication>
#include <cstdio>
#include <random>

#include "bench/bench_support.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/list_view.h"
#include "views/message_list_model.h"
#include "views/vireo_doc.h"

namespace {

using namespace vireo;

QString textOf(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Texts as the header parser leaves them: UTF-8, some Cyrillic, subjects in no particular order.
void fillTable(MessageBaseReader& reader, int messages) {
  std::mt19937 random(7);
  static const char* const kTopics[] = {"Weekly report", "Re: meeting", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                        "invoice", "Fwd: photos", "RE: Budget"};
  for (int i = 0; i < messages; ++i) {
    MessageRecord record;
    const int sender = static_cast<int>(random() % 997);
    record.setTexts("\"Sender " + std::to_string(sender) + "\" <sender" + std::to_string(sender) + "@example.org>",
                    "recipient@example.net", std::string(kTopics[random() % 6]) + " " + std::to_string(random() % 100000),
                    "05.12.2006 10:" + std::to_string(10 + i % 50) + ":00");
    record.time = 127000000000000000ull + random() % 10000000000000ull;
    record.attachment = random() % 10 == 0 ? 1 : 0;
    record.invalid = false;
    record.number = i;
    reader.addRecord(std::move(record), BlockSpan{});
  }
  reader.validCount = messages;
  reader.state = 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int messages = argc > 1 ? std::atoi(argv[1]) : 100000;

  testing::ScratchDir folder;
  DocumentSetup setup;
  setup.settingsFile = folder.file("Vireo.conf");
  setup.fallbackTempFolder = folder.file("temp_vir");
  setup.exportFolder = folder.file("export");
  views::CVireoDoc doc(setup);
  MessageBaseReader& reader = doc.readers[0];
  fillTable(reader, messages);
  doc.readerCount = 1;

  views::CListView_1 list(&doc);
  list.resize(1000, 700);
  list.show();
  QApplication::processEvents();

  long long characters = 0;
  const double baseline = bench::medianSeconds(5, [&] {
    for (const MessageRecord& record : reader.records)
      characters += textOf(record.from()).size() + textOf(record.to()).size() + textOf(record.subject()).size() +
                    textOf(record.dateText()).size() +
                    QString::number(record.number).size();
  });

  // A fill is the refresh the tree's selection change asks for, up to the list painted; the
  // notice shown before each one is not timed.
  std::vector<double> fills;
  for (int run = 0; run < 5; ++run) {
    doc.currentReader = kNoReader;
    doc.UpdateAllViews(nullptr, 0);
    doc.currentReader = 0;
    const auto start = std::chrono::steady_clock::now();
    doc.UpdateAllViews(nullptr, 0);
    list.repaint();
    fills.push_back(bench::secondsSince(start));
  }
  std::sort(fills.begin(), fills.end());
  const double fill = fills[fills.size() / 2];

  const auto clickSeconds = [&](int position) {
    return bench::medianSeconds(5, [&] {
      list.OnColumnClick(position);
      list.repaint();
    });
  };
  const double subject = clickSeconds(4);
  const double date = clickSeconds(5);
  list.selectAll();
  const double subjectAllSelected = clickSeconds(4);

  std::printf("messages: %d listed: %d\n", messages, list.listModel()->rowCount());
  std::printf("baseline (every record's texts to QString once): %.3f s\n", baseline);
  std::printf("fill (refresh, first record selected, sorted by Number, painted): %.3f s: %.2fx (target: well under 1 s)\n",
              fill, fill / baseline);
  std::printf("sort by Subject: %.3f s: %.2fx (target: well under 0.5 s)\n", subject, subject / baseline);
  std::printf("sort by Date: %.3f s: %.2fx\n", date, date / baseline);
  std::printf("sort by Subject, every row selected: %.3f s: %.2fx\n", subjectAllSelected, subjectAllSelected / baseline);
  return characters > 0 && list.listModel()->rowCount() == messages ? 0 : 1;
}

#include "tests/gui/support/preview_harness.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <filesystem>

#include "tools/dbx_writer/dbx_writer.h"

namespace vireo::guitest {
namespace {

constexpr int kPatience = 60000;

}  // namespace

PreviewHarness::PreviewHarness() {
  preview.resize(700, 500);
  preview.show();
  preview.OnInitialUpdate();
  waitForPage();
}

int PreviewHarness::addBase(const std::vector<std::string>& messages) {
  const int index = doc().readerCount++;
  MessageBaseReader& reader = doc().readers[static_cast<size_t>(index)];
  testing::DbxWriter writer;
  for (const std::string& message : messages) writer.add(message);
  reader.baseName = "base" + std::to_string(index) + ".dbx";
  reader.baseFolder = scratch.dir.path();
  reader.workingFolder = doc().tempFolder;
  reader.readerNumber = index;
  writer.build().save(reader.basePath());
  reader.openBase(false);
  reader.state = kStateBrowsed;
  return index;
}

bool PreviewHarness::showRow(int reader, int row) {
  doc().currentReader = reader;
  doc().readers[static_cast<size_t>(reader)].currentRow = row;
  return update(kHintPreview);
}

bool PreviewHarness::update(int hint) {
  doc().UpdateAllViews(nullptr, hint);
  return waitForPage();
}

bool PreviewHarness::showPage(content::RenderedMessage rendered) {
  preview.showRendered(std::move(rendered));
  return waitForPage();
}

bool PreviewHarness::waitForPage() {
  // Done when no render is under way or waiting, and the browser stands at the page last sent
  // and has finished loading it.
  QSignalSpy completed(&preview, &views::CHtmlView_1::documentComplete);
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < kPatience) {
    QWebEnginePage* page = preview.browser()->page();
    if (!preview.previewPending() && page->url() == preview.pageUrl() && !completed.isEmpty() &&
        completed.last().value(0).toBool())
      return true;
    completed.wait(50);
  }
  return false;
}

QString PreviewHarness::text() {
  QString result;
  bool done = false;
  preview.browser()->page()->toPlainText([&](const QString& text) {
    result = text;
    done = true;
  });
  QElapsedTimer waited;
  waited.start();
  while (!done && waited.elapsed() < kPatience) QTest::qWait(10);
  return result;
}

QString PreviewHarness::title() { return preview.browser()->page()->title(); }

std::vector<std::string> PreviewHarness::previewFiles() const {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(tempFolder(), error))
    if (entry.path().extension() == ".mht") files.push_back(entry.path().filename().string());
  return files;
}

content::RenderedMessage pageOf(const std::string& body) {
  content::RenderedMessage rendered;
  rendered.html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Message</title></head><body>" +
                  body + "</body></html>";
  return rendered;
}

}  // namespace vireo::guitest

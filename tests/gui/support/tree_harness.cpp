#include "tests/gui/support/tree_harness.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QVBoxLayout>
#include <filesystem>

#include "reader/base_listing.h"
#include "shell/base_tree_model.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {

MessageLog::MessageLog()
    : previous_(setMessageHandler([this](const std::string& text) {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
      })) {}

MessageLog::~MessageLog() { setMessageHandler(std::move(previous_)); }

std::vector<std::string> MessageLog::texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::vector<int> UpdateLog::hints() const {
  std::vector<int> out;
  for (const auto& update : updates) out.push_back(update.second);
  return out;
}

DbxImage mailBase(int messages) {
  DbxWriter writer;
  for (int i = 0; i < messages; ++i) writer.add(simpleMessage("message " + std::to_string(i)));
  return writer.build();
}

TreeHarness::TreeHarness() {
  DocumentSetup setup;
  setup.fallbackTempFolder = dir.file("temp");
  setup.exportFolder = dir.file("export");
  doc = std::make_unique<views::CVireoDoc>(setup);
  window = std::make_unique<QWidget>();
  auto* layout = new QVBoxLayout(window.get());
  layout->setContentsMargins(0, 0, 0, 0);
  tree = new shell::CTreeView_1(doc.get(), window.get());
  statusBar = new views::ProgressStatusBar(window.get());
  layout->addWidget(tree, 1);
  layout->addWidget(statusBar);
  views::publishStatusBar(statusBar);
  window->resize(480, 400);
  window->show();
  updates.attachDocument(doc.get());
  tree->OnInitialUpdate();
  updates.updates.clear();
}

TreeHarness::~TreeHarness() {
  updates.attachDocument(nullptr);
  window.reset();
  views::publishStatusBar(nullptr);
  doc.reset();
}

std::string TreeHarness::folderPath(const std::string& folder) const { return dir.file(folder); }

int TreeHarness::addBase(const std::string& folder, const std::string& name, const DbxImage& image) {
  std::filesystem::create_directories(folderPath(folder));
  const std::string path = folderPath(folder) + "/" + name;
  image.save(path);
  listStartPaths(*doc, {path});
  return doc->readerCount - 1;
}

shell::BaseTreeModel& TreeHarness::model() const { return *tree->baseModel(); }

QModelIndex TreeHarness::node(int readerIndex) const { return model().findBase(readerIndex); }

QModelIndex TreeHarness::groupNode(int row) const { return model().index(row, 0, model().rootNode()); }

std::string TreeHarness::outline() const {
  const std::string prefix = dir.path() + "/";
  auto label = [&](const QModelIndex& index) {
    std::string text = index.data().toString().toStdString();
    return text.starts_with(prefix) ? text.substr(prefix.size()) : text;
  };
  auto outlineOf = [&](const QModelIndex& node, auto& self) -> std::string {
    std::string out = label(node);
    if (model().itemDataOf(node) < kRootItem) return out;  // a base
    out += "{";
    for (int row = 0; row < model().rowCount(node); ++row) out += (row ? "," : "") + self(model().index(row, 0, node), self);
    return out + "}";
  };
  return outlineOf(model().rootNode(), outlineOf);
}

int TreeHarness::image(int readerIndex) const { return model().image(node(readerIndex)); }

void TreeHarness::select(const QModelIndex& index) const { tree->setCurrentIndex(index); }

bool TreeHarness::waitUntilIdle() const {
  const QDeadlineTimer deadline(60000);
  while (doc->operationRunning || !doc->doneEvent.isSet()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  return true;
}

}  // namespace vireo::testing

#pragma once
// A window for the tree's tests until the real frame lands: a CVireoDoc on a scratch folder, a
// published ProgressStatusBar below the tree, shown offscreen, and the core's messages captured.
#include <QModelIndex>
#include <QWidget>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_sink.h"
#include "shell/tree_view.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::testing {

// The core's message boxes, from any thread.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  std::vector<std::string> texts() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  MessageHandler previous_;
};

// A view that records the updates it is sent.
struct UpdateLog : views::CView {
  std::vector<std::pair<views::CView*, int>> updates;
  void OnUpdate(views::CView* sender, int hint) override { updates.emplace_back(sender, hint); }
  QWidget* widget() override { return nullptr; }
  std::vector<int> hints() const;
};

// A base of `messages` plain messages, built by the test writer.
DbxImage mailBase(int messages);

struct TreeHarness {
  TreeHarness();
  ~TreeHarness();
  TreeHarness(const TreeHarness&) = delete;
  TreeHarness& operator=(const TreeHarness&) = delete;

  // Writes image as <scratch>/<folder>/<name> and lists it as the next reader; returns its index.
  int addBase(const std::string& folder, const std::string& name, const DbxImage& image);
  std::string folderPath(const std::string& folder) const;
  // Rebuilds every view, as a listing does when it ends.
  void refresh() { doc->UpdateAllViews(nullptr, 0); }

  shell::BaseTreeModel& model() const;
  QModelIndex node(int readerIndex) const;
  QModelIndex groupNode(int row) const;
  // The tree as text: "Vireo{Store{Inbox,Sent},News{}}", groups named relative to the scratch folder.
  std::string outline() const;
  int image(int readerIndex) const;
  void select(const QModelIndex& node) const;

  // Processes events until no operation runs and the worker has ended (60 s at most).
  bool waitUntilIdle() const;

  ScratchDir dir;
  MessageLog shown;
  std::unique_ptr<views::CVireoDoc> doc;
  std::unique_ptr<QWidget> window;
  views::ProgressStatusBar* statusBar = nullptr;
  shell::CTreeView_1* tree = nullptr;
  UpdateLog updates;
};

}  // namespace vireo::testing

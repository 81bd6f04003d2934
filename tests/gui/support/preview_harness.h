#pragma once
// The preview pane alone over a scratch document, with real bases written by the .dbx writer and
// read into its readers, and waits for what the web engine does in its own time.
#include <QString>
#include <string>
#include <vector>

#include "tests/gui/support/list_document.h"
#include "views/html_view.h"

namespace vireo::guitest {

// The pane with its protected entry points open to tests.
class OpenPreview : public views::CHtmlView_1 {
 public:
  using CHtmlView_1::CHtmlView_1;
  using CHtmlView_1::showRendered;
};

struct PreviewHarness {
  testing::ScratchDocument scratch;
  OpenPreview preview{&scratch.doc};

  // Shows the pane and waits for its start page.
  PreviewHarness();
  views::CVireoDoc& doc() { return scratch.doc; }
  std::string tempFolder() const { return scratch.doc.tempFolder; }

  // Writes a base holding these messages and reads it (browse) into the next reader; its index.
  int addBase(const std::vector<std::string>& messages);
  // Makes row the reader's current row, sends the list's hint and waits for the page.
  bool showRow(int reader, int row);
  // Sends an update and waits until the page it started has loaded (60 s at most).
  bool update(int hint);
  // Serves a hand-made page and waits for it.
  bool showPage(content::RenderedMessage rendered);
  // Waits until the page last sent has loaded (60 s at most).
  bool waitForPage();

  // The page's text, and its title, as the browser has them.
  QString text();
  QString title();
  // The .mht files in the temp folder.
  std::vector<std::string> previewFiles() const;
};

// A page of the given body markup.
content::RenderedMessage pageOf(const std::string& body);

}  // namespace vireo::guitest

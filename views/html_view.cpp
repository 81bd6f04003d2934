#include "views/html_view.h"

#include <QFile>

#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

const QString kStartPage = QStringLiteral(":/pages/start.html");
const QString kNoMessagePage = QStringLiteral(":/pages/no_message.html");

}  // namespace

CHtmlView_1::CHtmlView_1(CVireoDoc* document, QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setAccessibleName(QStringLiteral("Preview"));
  attachDocument(document);
}

CVireoDoc* CHtmlView_1::document() const { return static_cast<CVireoDoc*>(GetDocument()); }

void CHtmlView_1::OnInitialUpdate() {
  CView::OnInitialUpdate();
  LoadFromResource(kStartPage, Page::Start);
}

void CHtmlView_1::OnUpdate(CView*, int hint) {
  if (hint != 0 && (hint & kPreviewHint) == 0) return;
  const CVireoDoc* doc = document();
  if (!doc) return;
  const int selected = doc->currentReader;
  if (doc->isBase(selected)) {
    // A reader's state stays 0 while the worker fills it, so a table being read is never shown.
    const MessageBaseReader& reader = doc->readers[static_cast<size_t>(selected)];
    if (reader.count() != 0 && reader.state != 0) showMessagePreview();
    else LoadFromResource(kNoMessagePage, Page::NoMessage);
  } else if (selected == kFolderGroupMarker) {
    LoadFromResource(kNoMessagePage, Page::NoMessage);
  } else {
    LoadFromResource(kStartPage, Page::Start);
  }
}

void CHtmlView_1::showMessagePreview() { LoadFromResource(kNoMessagePage, Page::NoMessage); }

void CHtmlView_1::LoadFromResource(const QString& resource, Page page) {
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly)) return;
  // The pages declare ISO-8859-1.
  setHtml(QString::fromLatin1(file.readAll()));
  page_ = page;
}

}  // namespace vireo::views

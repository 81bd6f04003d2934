#pragma once
// The preview: the lower right pane. It shows the selected message, or one of two built-in pages:
// the start page (nothing or the root selected) and the no-message page (a folder group, or a
// base with no message to show). It keeps no state of its own; each update decides from the
// document. For now a QTextBrowser shows the built-in pages; the rendered message (and the web
// engine that shows it) comes in through showMessagePreview.
#include <QTextBrowser>

#include "views/doc_view.h"

namespace vireo::views {

class CVireoDoc;

inline constexpr int kFolderGroupMarker = 2147483549;  // currentReader for a folder group
inline constexpr int kPreviewHint = 4;                  // the bit of an update's hint for the preview

class CHtmlView_1 : public QTextBrowser, public CView {
  Q_OBJECT

 public:
  enum class Page { None, Start, NoMessage, Message };

  CHtmlView_1(CVireoDoc* document, QWidget* parent = nullptr);

  // One update, then the start page.
  void OnInitialUpdate() override;
  // Acts on hint 0 and on hints with the preview's bit; ignores the others.
  void OnUpdate(CView* sender, int hint) override;
  QWidget* widget() override { return this; }

  Page shownPage() const { return page_; }

 protected:
  // Shows the current row of readers[currentReader], a base that has been read and has messages.
  // Until the message renderer is built this shows the no-message page.
  virtual void showMessagePreview();
  // Shows one of the program's built-in HTML pages (":/pages/...").
  void LoadFromResource(const QString& resource, Page page);

 private:
  CVireoDoc* document() const;

  Page page_ = Page::None;
};

}  // namespace vireo::views

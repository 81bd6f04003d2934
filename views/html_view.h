#pragma once
// The preview: the lower right pane. It shows the selected message rendered, or one of two
// built-in pages: the start page (nothing or the root selected) and the no-message page (a
// folder group, or a base with no message to show). It keeps no state of the document's; each
// update decides from the document.
//
// The message is untrusted. The pane is a web engine page on a profile of its own that keeps
// nothing on disk, with scripts, plugins and file access off; every request that is not one of
// the pane's own pages or parts is blocked (and a bar above the page says so), and a clicked
// link is handed to the desktop rather than followed.
#include <QByteArray>
#include <QUrl>
#include <QWidget>
#include <vector>

#include "content/message_renderer.h"
#include "views/doc_view.h"

class QLabel;
class QWebEngineProfile;
class QWebEngineView;

namespace vireo::views {

class CVireoDoc;
class PreviewPage;
class PreviewRequestGuard;
class PreviewSchemeHandler;


class CHtmlView_1 : public QWidget, public CView {
  Q_OBJECT

 public:
  enum class Page { None, Start, NoMessage, Message };

  CHtmlView_1(CVireoDoc* document, QWidget* parent = nullptr);
  ~CHtmlView_1() override;

  // One update, then the start page.
  void OnInitialUpdate() override;
  // Acts on hint 0 and on hints with the preview's bit; ignores the others.
  void OnUpdate(CView* sender, int hint) override;
  QWidget* widget() override { return this; }

  // The page last sent to the browser (it may still be loading), and its address.
  Page shownPage() const { return page_; }
  QUrl pageUrl() const { return loading_; }
  QWebEngineView* browser() const { return browser_; }
  // The bar that tells of blocked remote content.
  QLabel* blockedBar() const { return blockedBar_; }

 signals:
  // After a page has loaded (or failed to) and the preview file has been deleted.
  void documentComplete(bool ok);

 protected:
  // Shows the current row of readers[currentReader], a base that has been read and has messages:
  // writes its preview file, renders it and loads the page. When the file cannot be written the
  // pane keeps its page.
  virtual void showMessagePreview();
  // Serves a rendered message as the pane's page.
  void showRendered(content::RenderedMessage rendered);
  // Shows one of the program's built-in HTML pages (":/pages/<name>").
  void LoadFromResource(const QString& name, Page page);
  // The browser has loaded a page: the preview file is deleted.
  virtual void OnDocumentComplete(bool ok);

 private:
  CVireoDoc* document() const;
  void navigate(const QUrl& url, Page page);
  void onOwnLinkClicked(const QUrl& url);
  void onRequestBlocked(const QUrl& page);

  Page page_ = Page::None;
  QUrl loading_;
  content::MessageRenderer renderer_;
  std::vector<content::RenderedAttachment> attachments_;

  QLabel* blockedBar_ = nullptr;
  QWebEngineView* browser_ = nullptr;
  // Destroyed in this order: the page before its profile, the profile before its handlers.
  PreviewSchemeHandler* schemeHandler_ = nullptr;
  PreviewRequestGuard* requestGuard_ = nullptr;
  QWebEngineProfile* profile_ = nullptr;
  PreviewPage* browserPage_ = nullptr;
};

}  // namespace vireo::views

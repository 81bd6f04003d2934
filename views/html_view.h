#pragma once
// The preview: the lower right pane. It shows the selected message rendered, or one of two
// built-in pages: the start page (nothing or the root selected) and the no-message page (a
// folder group, or a base with no message to show). It keeps no state of the document's; each
// update decides from the document.
//
// The message is untrusted. Its header fields and attachments are drawn by the window, above the
// page, where its markup cannot reach; the page holds the body. The page is a web engine page on
// a profile of its own that keeps nothing on disk, with scripts, plugins and file access off;
// every request that is not one of the pane's own pages or parts is blocked (and a bar above the
// page says so), and a clicked link is handed to the desktop rather than followed.
//
// A message is read and rendered on the pane's own worker thread. Each request has a generation
// and only the newest is shown; while one is rendered or its page loads, or when the last one
// started less than a frame or so ago, newer selections collapse into one that waits, so a held
// arrow key never queues a render per row.
#include <QByteArray>
#include <QElapsedTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "content/message_renderer.h"
#include "views/doc_view.h"
#include "views/served_message.h"

class QLabel;
class QTimer;
class QWebEngineProfile;
class QWebEngineView;

namespace vireo::views {

class AttachmentBar;
class CVireoDoc;
class PreviewHeader;
class PreviewPage;
class PreviewRenderWorker;
class PreviewRequestGuard;
class PreviewSchemeHandler;
struct PreviewResult;


class CHtmlView_1 : public QWidget, public CView {
  Q_OBJECT

 public:
  // Unreadable: "This message cannot be shown:" and why. None: nothing yet, or an empty page while
  // a slow message renders.
  enum class Page { None, Start, NoMessage, Message, Unreadable };

  CHtmlView_1(CVireoDoc* document, QWidget* parent = nullptr);
  // Waits for a render under way to end; nothing it made reaches the destroyed pane.
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
  PreviewHeader* header() const { return header_; }
  AttachmentBar* attachmentBar() const { return attachmentBar_; }
  // Whether a message is being read and rendered, or its page loaded, or one waits for that.
  bool previewPending() const { return inFlight_ || waiting_; }
  // Renders started since the pane was made.
  int rendersStarted() const;

 signals:
  // After a page has loaded (or failed to).
  void documentComplete(bool ok);

 protected:
  // Shows the current row of readers[currentReader], a base that has been read and has messages:
  // clears the header, and has the worker read and render it (or, while one is under way, makes
  // it the one that waits).
  virtual void showMessagePreview();
  // Serves a rendered message as the pane's page at once (tests, tools).
  void showRendered(content::RenderedMessage rendered);
  // Shows one of the program's built-in HTML pages (":/pages/<name>").
  void LoadFromResource(const QString& name, Page page);
  // The browser has loaded a page: the header and attachments of a message show with it.
  virtual void OnDocumentComplete(bool ok);

 private:
  CVireoDoc* document() const;
  // Starts the waiting render now, or once the pane is free and the last start long enough ago.
  void startWhenFree();
  // Hands the current row to the worker, captured from the document now.
  void startRender();
  void onRendered(PreviewResult result);
  void showServed(ServedMessage message);
  void showUnreadable(const QString& reason);
  // The message shown, or the render waiting, is over: the next one may start.
  void renderDone();
  void navigate(const QUrl& url, Page page);
  void onOwnLinkClicked(const QUrl& url);
  void onRequestBlocked(const QUrl& page);
  void saveAttachmentWithKey(const QString& key);
  void saveAllAttachments();

  Page page_ = Page::None;
  QUrl loading_;
  ServedMessage shown_;  // the message served now: its header and attachments show once it has loaded

  uint64_t generation_ = 0;
  bool inFlight_ = false;  // the worker has a request, or its page is loading
  bool waiting_ = false;   // a newer selection waits for that
  QTimer* loadPatience_ = nullptr;
  QTimer* startDelay_ = nullptr;
  QTimer* blankAfter_ = nullptr;
  QElapsedTimer lastStart_;

  PreviewHeader* header_ = nullptr;
  AttachmentBar* attachmentBar_ = nullptr;
  QLabel* blockedBar_ = nullptr;
  QWebEngineView* browser_ = nullptr;
  // Destroyed in this order: the page before its profile, the profile before its handlers.
  PreviewSchemeHandler* schemeHandler_ = nullptr;
  PreviewRequestGuard* requestGuard_ = nullptr;
  QWebEngineProfile* profile_ = nullptr;
  PreviewPage* browserPage_ = nullptr;
  std::unique_ptr<PreviewRenderWorker> worker_;
};

}  // namespace vireo::views

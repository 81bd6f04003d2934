#pragma once
// The page of the preview: it goes only where the preview sends it. A link clicked in a message
// is handed out (to the desktop's browser or mail program, or, for an attachment, to saving);
// every other navigation, and every new window, is refused, so the pane never leaves the
// message it shows.
#include <QUrl>
#include <QWebEnginePage>

namespace vireo::views {

class PreviewPage : public QWebEnginePage {
  Q_OBJECT

 public:
  using QWebEnginePage::QWebEnginePage;

  // The page the preview itself loads next; the only main-frame navigation accepted.
  void expect(const QUrl& url) { expected_ = url; }

 signals:
  // A clicked link to somewhere else (http, https, mailto).
  void externalLinkClicked(const QUrl& url);
  // A clicked link of the preview's own scheme, not the page itself.
  void ownLinkClicked(const QUrl& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;

 private:
  QUrl expected_;
};

}  // namespace vireo::views

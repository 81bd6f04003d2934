#pragma once
// The page of the preview: it goes only where the preview sends it. A link clicked in a message,
// with or without a target (a new window is never made: its address is taken as the click's), is
// handed out (to the desktop's browser or mail program, or, for an attachment, to saving); every
// other navigation is refused, so the pane never leaves the message it shows.
#include <QUrl>
#include <QWebEnginePage>

namespace vireo::views {

class PreviewPage : public QWebEnginePage {
  Q_OBJECT

 public:
  PreviewPage(QWebEngineProfile* profile, QObject* parent);

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
  // A clicked link's address: handed out when it is http, https or mailto, or one of the pane's
  // own; anything else (javascript:, file:, data:, ...) is dropped.
  void linkClicked(const QUrl& url);

  QUrl expected_;
};

}  // namespace vireo::views

#pragma once
// Every request of a preview page passes here: only the preview's own scheme and data: URLs are
// let through. A message is untrusted, and anything remote it fetches would tell its sender
// that, when and where it was read.
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

namespace vireo::views {

class PreviewRequestGuard : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT

 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

  // True for the addresses a preview page may fetch.
  static bool allowed(const QUrl& url);

 signals:
  // page: the page that asked (its first-party address).
  void requestBlocked(const QUrl& page, const QUrl& blocked);
};

}  // namespace vireo::views

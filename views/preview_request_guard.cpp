#include "views/preview_request_guard.h"

#include "views/web_engine_setup.h"

namespace vireo::views {

bool PreviewRequestGuard::allowed(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == QLatin1String(kPreviewScheme) || scheme == QLatin1String("data");
}

void PreviewRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (allowed(info.requestUrl())) return;
  info.block(true);
  emit requestBlocked(info.firstPartyUrl(), info.requestUrl());
}

}  // namespace vireo::views

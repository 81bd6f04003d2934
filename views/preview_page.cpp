#include "views/preview_page.h"

#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

bool handedOut(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

QUrl withoutFragment(const QUrl& url) { return url.adjusted(QUrl::RemoveFragment); }

}  // namespace

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (!isMainFrame) return false;
  if (type == NavigationTypeLinkClicked) {
    // A jump within the page shown stays; any other link leaves the pane alone.
    if (url.hasFragment() && withoutFragment(url) == withoutFragment(this->url())) return true;
    if (handedOut(url)) emit externalLinkClicked(url);
    else if (url.scheme() == QLatin1String(kPreviewScheme)) emit ownLinkClicked(url);
    return false;
  }
  // Accepted once: a page that refreshes itself would otherwise load for ever.
  if (url != expected_ || type == NavigationTypeBackForward) return false;
  expected_.clear();
  return true;
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType) { return nullptr; }

}  // namespace vireo::views

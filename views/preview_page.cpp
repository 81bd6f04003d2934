#include "views/preview_page.h"

#include <QWebEngineNewWindowRequest>

#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

bool handedOut(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

QUrl withoutFragment(const QUrl& url) { return url.adjusted(QUrl::RemoveFragment); }

}  // namespace

PreviewPage::PreviewPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  // createWindow gives no page, so the engine asks here; the request is left unhandled and no
  // window is made. Only a person's click counts: a page cannot open links by itself.
  connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
    if (request.isUserInitiated()) linkClicked(request.requestedUrl());
  });
}

void PreviewPage::linkClicked(const QUrl& url) {
  if (handedOut(url)) emit externalLinkClicked(url);
  else if (url.scheme() == QLatin1String(kPreviewScheme)) emit ownLinkClicked(url);
}

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (!isMainFrame) return false;
  if (type == NavigationTypeLinkClicked) {
    // A jump within the page shown stays; any other link leaves the pane alone.
    if (url.hasFragment() && withoutFragment(url) == withoutFragment(this->url())) return true;
    linkClicked(url);
    return false;
  }
  // Only the pane's own loads arrive typed; a page that refreshes or redirects itself, even to
  // its own address, would otherwise load for ever.
  return url == expected_ && type == NavigationTypeTyped;
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType) { return nullptr; }

}  // namespace vireo::views

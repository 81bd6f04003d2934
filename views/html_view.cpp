#include "views/html_view.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <filesystem>
#include <system_error>

#include "views/attachment_saving.h"
#include "views/preview_page.h"
#include "views/preview_request_guard.h"
#include "views/preview_scheme_handler.h"
#include "views/vireo_doc.h"
#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

const QString kStartPage = QStringLiteral("start.html");
const QString kNoMessagePage = QStringLiteral("no_message.html");

// A message may not run anything, reach files, or fetch on its own.
void lockDown(QWebEngineSettings* settings) {
  using S = QWebEngineSettings;
  for (const S::WebAttribute off :
       {S::JavascriptEnabled, S::JavascriptCanOpenWindows, S::JavascriptCanAccessClipboard, S::JavascriptCanPaste,
        S::PluginsEnabled, S::LocalContentCanAccessFileUrls, S::LocalContentCanAccessRemoteUrls,
        S::LocalStorageEnabled, S::AutoLoadIconsForPage, S::HyperlinkAuditingEnabled, S::DnsPrefetchEnabled,
        S::WebGLEnabled, S::Accelerated2dCanvasEnabled, S::FullScreenSupportEnabled, S::ScreenCaptureEnabled,
        S::AllowRunningInsecureContent, S::AllowGeolocationOnInsecureOrigins, S::PdfViewerEnabled,
        S::NavigateOnDropEnabled, S::FocusOnNavigationEnabled, S::AllowWindowActivationFromJavaScript})
    settings->setAttribute(off, false);
  settings->setAttribute(S::WebRTCPublicInterfacesOnly, true);
  settings->setAttribute(S::PlaybackRequiresUserGesture, true);
  settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

}  // namespace

CHtmlView_1::CHtmlView_1(CVireoDoc* document, QWidget* parent) : QWidget(parent) {
  prepareWebEngine();
  setAccessibleName(QStringLiteral("Preview"));

  // No storage name: off the record, nothing kept on disk.
  profile_ = new QWebEngineProfile();
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile_->setSpellCheckEnabled(false);
  schemeHandler_ = new PreviewSchemeHandler();
  requestGuard_ = new PreviewRequestGuard();
  profile_->installUrlSchemeHandler(kPreviewScheme, schemeHandler_);
  profile_->setUrlRequestInterceptor(requestGuard_);
  connect(requestGuard_, &PreviewRequestGuard::requestBlocked, this,
          [this](const QUrl& page, const QUrl&) { onRequestBlocked(page); });

  blockedBar_ = new QLabel(QStringLiteral("Remote images in this message were blocked."), this);
  blockedBar_->setAccessibleName(QStringLiteral("Blocked content"));
  blockedBar_->setStyleSheet(QStringLiteral("QLabel { background: #FFF8C4; color: black; padding: 3px; }"));
  blockedBar_->hide();

  browser_ = new QWebEngineView(this);
  browserPage_ = new PreviewPage(profile_, browser_);
  lockDown(browserPage_->settings());
  browser_->setPage(browserPage_);
  setFocusProxy(browser_);
  connect(browserPage_, &PreviewPage::externalLinkClicked, this, [](const QUrl& url) { QDesktopServices::openUrl(url); });
  connect(browserPage_, &PreviewPage::ownLinkClicked, this, &CHtmlView_1::onOwnLinkClicked);
  connect(browserPage_, &QWebEnginePage::loadFinished, this, &CHtmlView_1::OnDocumentComplete);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(blockedBar_);
  layout->addWidget(browser_, 1);

  attachDocument(document);
}

CHtmlView_1::~CHtmlView_1() {
  // The page must go before its profile, and the profile before what it was given.
  delete browserPage_;
  delete profile_;
  delete requestGuard_;
  delete schemeHandler_;
}

CVireoDoc* CHtmlView_1::document() const { return static_cast<CVireoDoc*>(GetDocument()); }

void CHtmlView_1::OnInitialUpdate() {
  CView::OnInitialUpdate();
  LoadFromResource(kStartPage, Page::Start);
}

void CHtmlView_1::OnUpdate(CView*, int hint) {
  if (!hintRefreshesPreview(hint)) return;
  const CVireoDoc* doc = document();
  if (!doc) return;
  const int selected = doc->currentReader;
  if (doc->isBase(selected)) {
    // A reader's state stays 0 while the worker fills it, so a table being read is never shown.
    const MessageBaseReader& reader = doc->readers[static_cast<size_t>(selected)];
    if (reader.hasMessagesToShow()) showMessagePreview();
    else LoadFromResource(kNoMessagePage, Page::NoMessage);
  } else if (selected == kGroupItem) {
    LoadFromResource(kNoMessagePage, Page::NoMessage);
  } else {
    LoadFromResource(kStartPage, Page::Start);
  }
}

void CHtmlView_1::showMessagePreview() {
  CVireoDoc* doc = document();
  // Nothing is said when the file cannot be written: the pane keeps its page.
  if (!doc->writePreviewFile()) return;
  QFile file(QString::fromStdString(doc->previewPath));
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray bytes = file.readAll();
  file.close();
  showRendered(renderer_.render(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
}

void CHtmlView_1::showRendered(content::RenderedMessage rendered) {
  attachments_ = std::move(rendered.attachments);
  navigate(schemeHandler_->publish(rendered), Page::Message);
}

void CHtmlView_1::LoadFromResource(const QString& name, Page page) {
  navigate(PreviewSchemeHandler::builtInPage(name), page);
}

void CHtmlView_1::navigate(const QUrl& url, Page page) {
  page_ = page;
  loading_ = url;
  blockedBar_->hide();
  browserPage_->expect(url);
  browser_->load(url);
}

void CHtmlView_1::OnDocumentComplete(bool ok) {
  if (CVireoDoc* doc = document()) {
    std::error_code ignored;
    std::filesystem::remove(doc->previewPath, ignored);
  }
  emit documentComplete(ok);
}

void CHtmlView_1::onRequestBlocked(const QUrl& page) {
  if (page_ == Page::Message && schemeHandler_->isCurrentMessage(page)) blockedBar_->show();
}

void CHtmlView_1::onOwnLinkClicked(const QUrl& url) {
  const QString key = schemeHandler_->partKey(url);
  if (key.isEmpty()) return;
  for (const content::RenderedAttachment& attachment : attachments_) {
    if (QString::fromStdString(attachment.key) != key) continue;
    const CVireoDoc* doc = document();
    saveAttachment(this, doc ? QString::fromStdString(doc->exportFolder) : QString(),
                   QString::fromStdString(attachment.name), schemeHandler_->partBytes(key));
    return;
  }
}

}  // namespace vireo::views

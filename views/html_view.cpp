#include "views/html_view.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "views/attachment_bar.h"
#include "views/attachment_saving.h"
#include "views/preview_header.h"
#include "views/preview_page.h"
#include "views/preview_render_worker.h"
#include "views/preview_request_guard.h"
#include "views/preview_scheme_handler.h"
#include "views/vireo_doc.h"
#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

const QString kStartPage = QStringLiteral("start.html");
const QString kNoMessagePage = QStringLiteral("no_message.html");
// A page whose load never ends (a stuck engine) holds the next render back no longer than this.
constexpr int kLoadPatienceMs = 3000;
// Renders start at most this often: a key held down moves faster, a person reading does not.
constexpr qint64 kStartGapMs = 20;
// A message slower to render than this has the previous one taken off the screen meanwhile.
constexpr int kBlankAfterMs = 250;

// The page saying why a message cannot be shown, in the look of the built-in pages.
QByteArray unreadablePage(const QString& reason) {
  return QStringLiteral(
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vireo</title></head>"
             "<body bgcolor=\"#FFFFFF\"><p><font face=\"Arial\" size=\"2\"><span style=\"font: icon;\">"
             "This message cannot be shown: %1</span></font></p></body></html>")
      .arg(reason.toHtmlEscaped())
      .toUtf8();
}

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

  header_ = new PreviewHeader(this);
  attachmentBar_ = new AttachmentBar(this);
  connect(attachmentBar_, &AttachmentBar::saveRequested, this, &CHtmlView_1::saveAttachmentWithKey);
  connect(attachmentBar_, &AttachmentBar::saveAllRequested, this, &CHtmlView_1::saveAllAttachments);

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

  loadPatience_ = new QTimer(this);
  loadPatience_->setSingleShot(true);
  loadPatience_->setInterval(kLoadPatienceMs);
  connect(loadPatience_, &QTimer::timeout, this, &CHtmlView_1::renderDone);
  startDelay_ = new QTimer(this);
  startDelay_->setSingleShot(true);
  connect(startDelay_, &QTimer::timeout, this, &CHtmlView_1::startWhenFree);
  blankAfter_ = new QTimer(this);
  blankAfter_->setSingleShot(true);
  blankAfter_->setInterval(kBlankAfterMs);
  connect(blankAfter_, &QTimer::timeout, this, [this] {
    if (!previewPending() || page_ == Page::None) return;
    shown_ = ServedMessage();
    shown_.page = QByteArrayLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vireo</title></head></html>");
    navigate(schemeHandler_->publish(shown_), Page::None);
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header_);
  layout->addWidget(attachmentBar_);
  layout->addWidget(blockedBar_);
  layout->addWidget(browser_, 1);

  // A result is handed to the interface thread as an event of this pane's: one still queued when
  // the pane goes is dropped with it.
  worker_ = std::make_unique<PreviewRenderWorker>([this](PreviewResult result) {
    auto shared = std::make_shared<PreviewResult>(std::move(result));
    QMetaObject::invokeMethod(this, [this, shared] { onRendered(std::move(*shared)); }, Qt::QueuedConnection);
  });

  attachDocument(document);
}

CHtmlView_1::~CHtmlView_1() {
  // The worker first: after it has joined, nothing more is posted to this pane.
  worker_.reset();
  // The page must go before its profile, and the profile before what it was given.
  delete browserPage_;
  delete profile_;
  delete requestGuard_;
  delete schemeHandler_;
}

CVireoDoc* CHtmlView_1::document() const { return static_cast<CVireoDoc*>(GetDocument()); }

int CHtmlView_1::rendersStarted() const { return worker_->rendersStarted(); }

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
    // A reader's state stays 0 while the worker fills it, so a table being read is never
    // looked at: the state is read first, the count only when the table is complete.
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
  // The previous message's header may not stand over the new selection while it renders.
  ++generation_;
  header_->clear();
  attachmentBar_->clear();
  if (!blankAfter_->isActive()) blankAfter_->start();
  waiting_ = true;
  startWhenFree();
}

void CHtmlView_1::startWhenFree() {
  if (!waiting_ || inFlight_) return;
  const qint64 since = lastStart_.isValid() ? lastStart_.elapsed() : kStartGapMs;
  if (since < kStartGapMs) {
    if (!startDelay_->isActive()) startDelay_->start(static_cast<int>(kStartGapMs - since));
    return;
  }
  startRender();
}

void CHtmlView_1::startRender() {
  waiting_ = false;
  CVireoDoc* doc = document();
  const int selected = doc ? doc->currentReader : kNoReader;
  if (!doc || !doc->isBase(selected)) return;
  const MessageBaseReader& reader = doc->readers[static_cast<size_t>(selected)];
  // State before count, as in OnUpdate: the table may have been taken for another read since.
  if (reader.state == 0 || reader.currentRow < 0 || reader.currentRow >= reader.count()) {
    LoadFromResource(kNoMessagePage, Page::NoMessage);
    return;
  }
  PreviewRequest request;
  request.generation = generation_;
  request.workingPath = reader.workingPath;
  const BlockSpan blocks = reader.blocksOf(static_cast<size_t>(reader.currentRow));
  request.blocks.entries.assign(blocks.begin(), blocks.end());
  inFlight_ = true;
  lastStart_.start();
  worker_->request(std::move(request));
}

void CHtmlView_1::onRendered(PreviewResult result) {
  if (result.generation != generation_) {
    // A newer selection (or page) came meanwhile; this one is not shown.
    renderDone();
    return;
  }
  blankAfter_->stop();
  if (result.message) showServed(std::move(*result.message));
  else showUnreadable(result.failure);
  loadPatience_->start();
}

void CHtmlView_1::renderDone() {
  loadPatience_->stop();
  inFlight_ = false;
  startWhenFree();
}

void CHtmlView_1::showRendered(content::RenderedMessage rendered) {
  ++generation_;
  waiting_ = false;
  startDelay_->stop();
  blankAfter_->stop();
  worker_->dropWaiting();
  showServed(toServedMessage(std::move(rendered)));
}

void CHtmlView_1::showServed(ServedMessage message) {
  shown_ = std::move(message);
  navigate(schemeHandler_->publish(shown_), Page::Message);
}

void CHtmlView_1::showUnreadable(const QString& reason) {
  // Served as a message of its own, so the previous message is gone with it.
  shown_ = ServedMessage();
  shown_.page = unreadablePage(reason);
  navigate(schemeHandler_->publish(shown_), Page::Unreadable);
}

void CHtmlView_1::LoadFromResource(const QString& name, Page page) {
  // Whatever is being rendered is no longer wanted.
  ++generation_;
  waiting_ = false;
  startDelay_->stop();
  blankAfter_->stop();
  worker_->dropWaiting();
  shown_ = ServedMessage();
  navigate(PreviewSchemeHandler::builtInPage(name), page);
}

void CHtmlView_1::navigate(const QUrl& url, Page page) {
  page_ = page;
  loading_ = url;
  blockedBar_->hide();
  header_->clear();
  attachmentBar_->clear();
  browserPage_->expect(url);
  browser_->load(url);
}

void CHtmlView_1::OnDocumentComplete(bool ok) {
  // The header and attachments show with the page they belong to, not before it.
  if (page_ == Page::Message && browserPage_->url() == loading_) {
    header_->setHeaders(shown_.headers);
    attachmentBar_->setAttachments(shown_.attachments);
  }
  if (inFlight_ && loadPatience_->isActive()) renderDone();
  emit documentComplete(ok);
}

void CHtmlView_1::onRequestBlocked(const QUrl& page) {
  if (page_ == Page::Message && schemeHandler_->isCurrentMessage(page)) blockedBar_->show();
}

void CHtmlView_1::onOwnLinkClicked(const QUrl& url) { saveAttachmentWithKey(schemeHandler_->partKey(url)); }

void CHtmlView_1::saveAttachmentWithKey(const QString& key) {
  if (key.isEmpty()) return;
  for (const content::RenderedAttachment& attachment : shown_.attachments) {
    if (QString::fromStdString(attachment.key) != key) continue;
    const CVireoDoc* doc = document();
    // Copies: the dialog's event loop may bring the next message meanwhile.
    const QString name = QString::fromStdString(attachment.name);
    const QByteArray bytes = schemeHandler_->partBytes(key);
    saveAttachment(this, doc ? QString::fromStdString(doc->exportFolder) : QString(), name, bytes);
    return;
  }
}

void CHtmlView_1::saveAllAttachments() {
  std::vector<AttachmentFile> files;
  for (const content::RenderedAttachment& attachment : shown_.attachments)
    files.push_back({QString::fromStdString(attachment.name), schemeHandler_->partBytes(QString::fromStdString(attachment.key))});
  const CVireoDoc* doc = document();
  views::saveAllAttachments(this, doc ? QString::fromStdString(doc->exportFolder) : QString(), files);
}

}  // namespace vireo::views

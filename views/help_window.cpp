#include "views/help_window.h"

#include <QFileInfo>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <atomic>

#include "views/desktop_handoff.h"
#include "views/modal.h"
#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

constexpr char kHelpObjectName[] = "helpWindow";

bool insideFolder(const QUrl& url, const QString& folder) {
  if (!url.isLocalFile()) return false;
  const QString path = QFileInfo(url.toLocalFile()).absoluteFilePath();
  return path.startsWith(folder + QLatin1Char('/'));
}

// Follows links inside the guide; a link out of it is the desktop's (a browser, a mail program).
class HelpPage final : public QWebEnginePage {
 public:
  HelpPage(QWebEngineProfile* profile, QString folder, QObject* parent)
      : QWebEnginePage(profile, parent), folder_(std::move(folder)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (insideFolder(url, folder_)) return true;
    const QString scheme = url.scheme();
    if (type == NavigationTypeLinkClicked && isMainFrame &&
        (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")))
      openWithDesktop(url);
    return false;
  }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

 private:
  QString folder_;
};

}  // namespace

// The guide's own files and data: URLs only; the engine runs this on its own thread.
class HelpRequestGuard final : public QWebEngineUrlRequestInterceptor {
 public:
  explicit HelpRequestGuard(QString folder) : folder_(std::move(folder)) {}
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QUrl url = info.requestUrl();
    if (url.scheme() == QLatin1String("data") || insideFolder(url, folder_)) return;
    info.block(true);
    ++blocked;
  }
  std::atomic<int> blocked{0};

 private:
  const QString folder_;
};

HelpWindow::HelpWindow(const QString& guide, QWidget* parent) : QWidget(parent), guide_(guide) {
  prepareWebEngine();
  setObjectName(QString::fromUtf8(kHelpObjectName));
  setWindowFlag(Qt::Window);
  setWindowTitle(QStringLiteral("Vireo Help"));
  setAccessibleName(QStringLiteral("Vireo Help"));
  const QString folder = QFileInfo(guide).absolutePath();

  // No storage name: off the record, nothing kept on disk.
  profile_ = new QWebEngineProfile();
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile_->setSpellCheckEnabled(false);
  guard_ = new HelpRequestGuard(folder);
  profile_->setUrlRequestInterceptor(guard_);

  page_ = new HelpPage(profile_, folder, nullptr);
  using S = QWebEngineSettings;
  QWebEngineSettings* settings = page_->settings();
  for (const S::WebAttribute off :
       {S::JavascriptEnabled, S::JavascriptCanOpenWindows, S::PluginsEnabled, S::LocalContentCanAccessRemoteUrls,
        S::LocalStorageEnabled, S::HyperlinkAuditingEnabled, S::DnsPrefetchEnabled, S::WebGLEnabled})
    settings->setAttribute(off, false);
  // The guide's pictures sit beside it.
  settings->setAttribute(S::LocalContentCanAccessFileUrls, true);
  settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);

  view_ = new QWebEngineView(this);
  view_->setPage(page_);
  view_->setAccessibleName(QStringLiteral("User guide"));
  connect(page_, &QWebEnginePage::loadFinished, this, &HelpWindow::pageLoaded);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  resize(900, 700);
  page_->load(QUrl::fromLocalFile(guide));
}

HelpWindow::~HelpWindow() {
  // The page must go before its profile, and the profile before its guard.
  delete page_;
  delete profile_;
  delete guard_;
}

int HelpWindow::blockedRequests() const { return guard_->blocked; }

HelpWindow* HelpWindow::showGuide(const QString& guide, QWidget* parent) {
  const QFileInfo file(guide);
  if (guide.isEmpty() || !file.isFile()) {
    showModalMessage(parent, QStringLiteral("The user guide was not found:\n%1").arg(guide));
    return nullptr;
  }
  const QString absolute = file.absoluteFilePath();
  HelpWindow* window = parent ? parent->findChild<HelpWindow*>(QString::fromUtf8(kHelpObjectName),
                                                               Qt::FindDirectChildrenOnly)
                              : nullptr;
  if (window && window->guide() != absolute) {
    delete window;
    window = nullptr;
  }
  if (!window) window = new HelpWindow(absolute, parent);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace vireo::views

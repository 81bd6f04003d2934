#include "views/preview_scheme_handler.h"

#include <QBuffer>
#include <QFile>
#include <QWebEngineUrlRequestJob>

#include "views/web_engine_setup.h"

namespace vireo::views {
namespace {

const QString kPageHost = QStringLiteral("page");
const QString kMessageHost = QStringLiteral("message");
const QString kPartFolder = QStringLiteral("part/");

void replyWith(QWebEngineUrlRequestJob* job, const QByteArray& mimeType, const QByteArray& bytes) {
  // The job owns the buffer; the bytes are shared, not copied.
  auto* buffer = new QBuffer(job);
  buffer->setData(bytes);
  buffer->open(QIODevice::ReadOnly);
  job->reply(mimeType, buffer);
}

}  // namespace

QUrl PreviewSchemeHandler::publish(const ServedMessage& message) {
  ++serial_;
  // Shared, not copied: the bytes were made on the render worker.
  page_ = message.page;
  parts_ = message.parts;
  return messageUrl();
}

QUrl PreviewSchemeHandler::builtInPage(const QString& name) {
  QUrl url;
  url.setScheme(QString::fromLatin1(kPreviewScheme));
  url.setHost(kPageHost);
  url.setPath(QLatin1Char('/') + name);
  return url;
}

QUrl PreviewSchemeHandler::messageUrl() const {
  QUrl url;
  url.setScheme(QString::fromLatin1(kPreviewScheme));
  url.setHost(kMessageHost);
  url.setPath(QStringLiteral("/%1/").arg(serial_));
  return url;
}

bool PreviewSchemeHandler::isCurrentMessage(const QUrl& url) const {
  return serial_ != 0 && url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) == messageUrl();
}

QString PreviewSchemeHandler::partKey(const QUrl& url) const {
  if (serial_ == 0 || url.scheme() != QLatin1String(kPreviewScheme) || url.host() != kMessageHost) return {};
  const QString folder = messageUrl().path() + kPartFolder;
  const QString path = url.path();
  if (!path.startsWith(folder)) return {};
  const QString key = path.mid(folder.size());
  return parts_.count(key) ? key : QString();
}

QByteArray PreviewSchemeHandler::partBytes(const QString& key) const {
  const auto found = parts_.find(key);
  return found == parts_.end() ? QByteArray() : found->second.bytes;
}

void PreviewSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const QUrl url = job->requestUrl();
  if (url.host() == kPageHost) {
    QFile page(QStringLiteral(":/pages") + url.path());
    // The built-in pages are written in ISO-8859-1 and say so.
    if (!url.path().contains(QLatin1String("..")) && page.open(QIODevice::ReadOnly))
      return replyWith(job, QByteArrayLiteral("text/html"), page.readAll());
  } else if (isCurrentMessage(url)) {
    return replyWith(job, QByteArrayLiteral("text/html;charset=utf-8"), page_);
  } else if (const QString key = partKey(url); !key.isEmpty()) {
    const ServedPart& part = parts_.at(key);
    return replyWith(job, part.mimeType.isEmpty() ? QByteArrayLiteral("application/octet-stream") : part.mimeType,
                     part.bytes);
  }
  job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

}  // namespace vireo::views

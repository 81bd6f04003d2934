#pragma once
// Serves the preview's pages under its own scheme: the built-in pages at
// "vireo-preview://page/<name>", and the last rendered message as a folder,
// "vireo-preview://message/<serial>/", with its parts beside it at ".../part/<key>". Only the
// newest message is served; an older serial, an unknown part or any other address is not found.
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>
#include <map>

#include "views/served_message.h"

namespace vireo::views {

class PreviewSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

  // Makes rendered the message served from now on (the one before it is dropped); returns its
  // page's address.
  QUrl publish(const ServedMessage& message);
  // The address of a built-in page (":/pages/<name>").
  static QUrl builtInPage(const QString& name);

  // The key of a part of the message served now, when url addresses one; empty otherwise.
  QString partKey(const QUrl& url) const;
  // A part of the message served now; null when there is none with that key.
  QByteArray partBytes(const QString& key) const;
  bool isCurrentMessage(const QUrl& url) const;

  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  QUrl messageUrl() const;

  quint64 serial_ = 0;
  QByteArray page_;
  std::map<QString, ServedPart> parts_;
};

}  // namespace vireo::views

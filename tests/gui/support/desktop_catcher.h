#pragma once
// Stands in for the desktop's handlers of some URL schemes while it lives, recording what the
// program asked the desktop to open.
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace vireo::guitest {

class DesktopCatcher : public QObject {
  Q_OBJECT

 public:
  explicit DesktopCatcher(QStringList schemes);
  ~DesktopCatcher() override;

  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }

 private:
  QStringList schemes_;
};

}  // namespace vireo::guitest

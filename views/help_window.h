#pragma once
// The user guide in a window of Vireo's own, drawn by the web engine the preview already uses, so
// Help works on a desktop without a browser. The guide is ours, but the window still runs no
// scripts and loads nothing from outside the guide's folder; a link out of it goes to the desktop.
#include <QString>
#include <QUrl>
#include <QWidget>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace vireo::views {

class HelpRequestGuard;

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // guide: the absolute path of the guide's first page.
  HelpWindow(const QString& guide, QWidget* parent);
  ~HelpWindow() override;

  // Shows the guide in parent's help window, made on first use and raised afterwards; when the
  // guide is missing, a box names the file looked for. Returns the window, or nullptr.
  static HelpWindow* showGuide(const QString& guide, QWidget* parent);

  QWebEngineView* view() const { return view_; }
  QString guide() const { return guide_; }
  // The number of requests refused so far (anything outside the guide's folder).
  int blockedRequests() const;

 signals:
  void pageLoaded(bool ok);

 private:
  QString guide_;
  QWebEngineProfile* profile_ = nullptr;
  HelpRequestGuard* guard_ = nullptr;
  QWebEnginePage* page_ = nullptr;
  QWebEngineView* view_ = nullptr;
};

}  // namespace vireo::views

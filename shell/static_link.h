#pragma once
// A label that is a hyperlink: blue and underlined until it has been followed, purple after,
// with the application's hand cursor over it. A click opens the link (its own text when no
// target was set) with the desktop's handler; when that fails the label beeps and stays as it
// was. It stays visited for its own lifetime (that of its dialog). Reachable by keyboard too:
// Space or Enter follow it, and assistive tools see a link they can press.
#include <QColor>
#include <QLabel>
#include <QString>

namespace vireo::shell {

class CStaticLink : public QLabel {
  Q_OBJECT

 public:
  explicit CStaticLink(const QString& text = {}, QWidget* parent = nullptr);

  // Follows the link, as a click does.
  void followLink();

  QColor unvisitedColour{0, 0, 255};
  QColor visitedColour{128, 0, 128};
  int visited = 0;
  QString link;  // empty: the label's own text is taken at the first click

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void applyLinkLook();

  bool pressed_ = false;
};

}  // namespace vireo::shell

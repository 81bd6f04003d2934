#include "shell/static_link.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

#include "shell/vireo_app.h"

namespace vireo::shell {
namespace {

// A QLabel reads as static text; this one is a link that can be pressed.
class StaticLinkAccessible final : public QAccessibleWidget {
 public:
  explicit StaticLinkAccessible(CStaticLink* link) : QAccessibleWidget(link, QAccessible::Link) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
      return static_cast<CStaticLink*>(widget())->text();
    if (kind == QAccessible::Value) return target();
    return QAccessibleWidget::text(kind);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    state.traversed = static_cast<CStaticLink*>(widget())->visited != 0;
    return state;
  }

  QStringList actionNames() const override { return {pressAction()}; }

  void doAction(const QString& name) override {
    if (name == pressAction()) static_cast<CStaticLink*>(widget())->followLink();
  }

 private:
  QString target() const {
    const auto* label = static_cast<CStaticLink*>(widget());
    return label->link.isEmpty() ? label->text() : label->link;
  }
};

QAccessibleInterface* staticLinkFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("vireo::shell::CStaticLink") && object && object->isWidgetType())
    return new StaticLinkAccessible(static_cast<CStaticLink*>(object));
  return nullptr;
}

}  // namespace

CStaticLink::CStaticLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(staticLinkFactory);
    return true;
  }();
  (void)factoryInstalled;
  setTextFormat(Qt::PlainText);
  setFocusPolicy(Qt::StrongFocus);
  if (const CVireoApp* app = CVireoApp::instance(); app && app->handCursor)
    setCursor(*app->handCursor);
  applyLinkLook();
}

void CStaticLink::followLink() {
  if (link.isEmpty()) link = text();
  const QUrl target = QUrl::fromUserInput(link);
  if (!target.isValid() || !QDesktopServices::openUrl(target)) {
    QApplication::beep();
    return;
  }
  visited = 1;
  applyLinkLook();
  update();
}

void CStaticLink::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click) followLink();
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      followLink();
      return;
    default:
      QLabel::keyPressEvent(event);
  }
}

void CStaticLink::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // A font given later (by a style or a dialog) is underlined again.
  if (event->type() == QEvent::FontChange && !font().underline()) applyLinkLook();
}

void CStaticLink::applyLinkLook() {
  QFont linkFont = font();
  if (!linkFont.underline()) {
    linkFont.setUnderline(true);
    setFont(linkFont);
  }
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, visited ? visitedColour : unvisitedColour);
  setPalette(colours);
}

}  // namespace vireo::shell

#pragma once
// The previewed message's attachments, drawn by the window below its header: one button per
// attachment with its name and size; a click asks to save it, and the context menu offers to
// save them all. Hidden when the message has none.
#include <QString>
#include <QWidget>
#include <vector>

#include "content/message_renderer.h"

class QAction;
class QHBoxLayout;
class QScrollArea;
class QToolButton;

namespace vireo::views {

class AttachmentBar : public QWidget {
  Q_OBJECT

 public:
  explicit AttachmentBar(QWidget* parent = nullptr);

  // One button per attachment, in this order; hidden when there is none.
  void setAttachments(const std::vector<content::RenderedAttachment>& attachments);
  void clear() { setAttachments({}); }

  const std::vector<QToolButton*>& buttons() const { return buttons_; }
  // "Save all attachments...", in every button's and the bar's context menu.
  QAction* saveAllAction() const { return saveAll_; }

 signals:
  // The attachment with this key (its part) was clicked.
  void saveRequested(const QString& key);
  void saveAllRequested();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showMenu(QWidget* on, const QPoint& at);
  // As tall as the buttons, plus the scroll bar when they do not fit side by side.
  void fitHeight();

  QScrollArea* scroller_ = nullptr;
  QHBoxLayout* row_ = nullptr;
  QAction* saveAll_ = nullptr;
  std::vector<QToolButton*> buttons_;
};

}  // namespace vireo::views

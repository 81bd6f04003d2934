#include "views/attachment_bar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

#include "content/preview_page.h"

namespace vireo::views {

AttachmentBar::AttachmentBar(QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("Attachments"));
  saveAll_ = new QAction(QStringLiteral("Save all attachments..."), this);
  connect(saveAll_, &QAction::triggered, this, &AttachmentBar::saveAllRequested);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { showMenu(this, at); });

  auto* caption = new QLabel(QStringLiteral("Attachments:"), this);
  caption->setTextFormat(Qt::PlainText);
  // Many attachments scroll sideways rather than widen the pane.
  scroller_ = new QScrollArea(this);
  QScrollArea* scroller = scroller_;
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* strip = new QWidget(scroller);
  row_ = new QHBoxLayout(strip);
  row_->setContentsMargins(0, 0, 0, 0);
  row_->setSpacing(4);
  row_->addStretch(1);
  scroller->setWidget(strip);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 2, 8, 2);
  layout->addWidget(caption);
  layout->addWidget(scroller, 1);
  hide();
}

void AttachmentBar::setAttachments(const std::vector<content::RenderedAttachment>& attachments) {
  // Later, not now: this may run inside a button's own click (a save's dialog waits there).
  for (QToolButton* button : buttons_) {
    row_->removeWidget(button);
    button->hide();
    button->deleteLater();
  }
  buttons_.clear();
  const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
  for (const content::RenderedAttachment& attachment : attachments) {
    auto* button = new QToolButton(row_->parentWidget());
    const QString name = QString::fromStdString(attachment.name);
    const QString size = QString::fromStdString(formatByteSize(attachment.size));
    button->setText(QStringLiteral("%1 (%2)").arg(name, size));
    button->setIcon(icon);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setToolTip(QStringLiteral("Save %1").arg(name));
    button->setAccessibleName(name);
    button->setAccessibleDescription(size);
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    const QString key = QString::fromStdString(attachment.key);
    connect(button, &QToolButton::clicked, this, [this, key] { emit saveRequested(key); });
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint& at) { showMenu(button, at); });
    row_->insertWidget(row_->count() - 1, button);
    buttons_.push_back(button);
  }
  setVisible(!buttons_.empty());
  fitHeight();
}

void AttachmentBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitHeight();
}

void AttachmentBar::fitHeight() {
  const QSize strip = scroller_->widget()->sizeHint();
  const bool overflows = strip.width() > scroller_->viewport()->width();
  scroller_->setFixedHeight(strip.height() + (overflows ? scroller_->horizontalScrollBar()->sizeHint().height() : 0));
}

void AttachmentBar::showMenu(QWidget* on, const QPoint& at) {
  QMenu menu(this);
  menu.addAction(saveAll_);
  menu.exec(on->mapToGlobal(at));
}

}  // namespace vireo::views
